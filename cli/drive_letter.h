// The Windows tool's target: a drive letter, as a user types it.
#pragma once

#include <optional>
#include <string_view>

// 'E' for "E:", "e:" or "E:\"; nullopt for anything else (a path, a device
// name, a folder), which the tool never formats.
std::optional<char> DriveLetterNamed(std::string_view name);
