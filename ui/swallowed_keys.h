// Keys the main dialog swallows before dispatch, so that neither a default
// button nor the dialog's own Escape handling can end it.
#pragma once

#include <string_view>

// `keyName` is what the system calls the key. Names depend on the keyboard
// layout (under X they are X's names), so the virtual-key code decides too.
bool IsSwallowedKey(std::string_view keyName, unsigned virtualKey);
