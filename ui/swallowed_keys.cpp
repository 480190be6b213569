#include "ui/swallowed_keys.h"

namespace {
// Virtual-key codes of Return (keypad Enter shares it), Escape, and Execute,
// which the dialog manager treats as Enter.
constexpr unsigned kReturnKey = 0x0D;
constexpr unsigned kEscapeKey = 0x1B;
constexpr unsigned kExecuteKey = 0x2B;

// The names these keys have on an English layout.
constexpr std::string_view kSwallowedNames[] = {"Enter", "Esc", "Num Enter"};
}  // namespace

bool IsSwallowedKey(std::string_view keyName, unsigned virtualKey)
{
    if (virtualKey == kReturnKey || virtualKey == kEscapeKey || virtualKey == kExecuteKey)
        return true;
    for (std::string_view name : kSwallowedNames) {
        if (keyName == name)
            return true;
    }
    return false;
}
