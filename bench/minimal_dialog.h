#pragma once

#define kMinimalDialogId 100
#define kStartButtonId 1002
