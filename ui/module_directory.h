// The folder of the running program, where Disk.ini lives.
#pragma once

#include <string>
#include <string_view>

// The path up to, not including, its last backslash after the first
// character: C:\Tools\tool.exe gives C:\Tools, C:\tool.exe gives C:, and a
// path without such a backslash gives "" (the file then lands in the root
// of the current drive).
std::string ModuleDirectoryOf(std::string_view modulePath);
std::wstring ModuleDirectoryOf(std::wstring_view modulePath);
