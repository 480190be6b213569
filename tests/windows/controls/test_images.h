// Resource ids of the controls test program.
#pragma once

#define IDP_TEST_GRID 201
#define IDP_TEST_GREY 202
#define IDP_TEST_RED 203
#define IDP_TEST_GREEN 204
#define IDP_TEST_BLUE 205
#define IDP_TEST_YELLOW 206
#define IDP_TEST_CYAN 207
#define IDP_TEST_NOT_AN_IMAGE 208
