#include "process_usage.h"

#include <psapi.h>

std::optional<ProcessUsage> MeasureUsage(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == nullptr)
        return std::nullopt;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    ProcessUsage usage;
    usage.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    // Wine fills in the commit charge of another process, not PrivateUsage.
    usage.commitKib = static_cast<long long>(memory.PagefileUsage / 1024);
    CloseHandle(process);
    return usage;
}
