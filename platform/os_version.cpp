#include "platform/os_version.h"

namespace {

// GetProcAddress answers with a generic function pointer; going through
// void* keeps the cast to the real signature explicit.
template <typename Function>
Function LookUp(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

bool FindFile(const char* path)
{
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return true;
}

}  // namespace

bool GetVersionRecord(OSVERSIONINFOEXA& record)
{
    record = {};
    record.dwOSVersionInfoSize = sizeof record;
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record)) != 0;
}

WORD GetNativeProcessorArchitecture()
{
    using GetNativeSystemInfoFunction = void(WINAPI*)(SYSTEM_INFO*);
    SYSTEM_INFO info{};
    const auto getNative = LookUp<GetNativeSystemInfoFunction>(GetModuleHandleA("kernel32.dll"), "GetNativeSystemInfo");
    if (getNative) {
        getNative(&info);
    } else {
        GetSystemInfo(&info);
    }
    return info.wProcessorArchitecture;
}

bool FileExists(const char* path, FsRedirection redirection)
{
    if (redirection == FsRedirection::keep) {
        return FindFile(path);
    }
    using DisableFunction = BOOL(WINAPI*)(PVOID*);
    using RevertFunction = BOOL(WINAPI*)(PVOID);
    const HMODULE kernel = LoadLibraryA("kernel32.dll");
    const auto disable = LookUp<DisableFunction>(kernel, "Wow64DisableWow64FsRedirection");
    const auto revert = LookUp<RevertFunction>(kernel, "Wow64RevertWow64FsRedirection");
    PVOID oldValue = nullptr;
    // Only a switch that took effect is reverted.
    const bool switched = disable && revert && disable(&oldValue);
    const bool found = FindFile(path);
    if (switched) {
        revert(oldValue);
    }
    if (kernel) {
        FreeLibrary(kernel);
    }
    return found;
}
