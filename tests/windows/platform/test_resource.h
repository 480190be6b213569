#pragma once

#define IDD_TEST 200
#define IDC_TEXT 1001
#define IDC_PICTURE 1002
#define IDC_PLAIN 1003
#define IDB_NORMAL 300
#define IDB_SELECTED 301
#define IDB_DISABLED 302
