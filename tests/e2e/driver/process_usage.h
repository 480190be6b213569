// What a running process holds, to see whether repeated work leaks.
#pragma once

#include <windows.h>

#include <optional>

struct ProcessUsage {
    long long gdiObjects;
    long long commitKib;
};

// Nothing when the process cannot be opened.
std::optional<ProcessUsage> MeasureUsage(DWORD processId);
