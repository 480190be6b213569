#include "cli/drive_letter.h"

std::optional<char> DriveLetterNamed(std::string_view name)
{
    if (name.ends_with('\\')) {
        name.remove_suffix(1);
    }
    if (name.size() != 2 || name[1] != ':') {
        return std::nullopt;
    }
    const char letter = name[0];
    if (letter >= 'a' && letter <= 'z') {
        return static_cast<char>(letter - 'a' + 'A');
    }
    if (letter >= 'A' && letter <= 'Z') {
        return letter;
    }
    return std::nullopt;
}
