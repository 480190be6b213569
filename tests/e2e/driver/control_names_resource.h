// The id under which the driver carries a copy of res/resource.h.
#pragma once

#define IDR_CONTROL_NAMES 1
