#include "platform/disk_calls.h"

namespace {

DiskCalls g_systemCalls;
DiskCalls* g_calls = &g_systemCalls;

}  // namespace

HANDLE DiskCalls::Open(const std::string& path, DWORD access, DWORD share, DWORD flags)
{
    return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
}

BOOL DiskCalls::Control(HANDLE handle, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* returned)
{
    return DeviceIoControl(handle, code, in, inBytes, out, outBytes, returned, nullptr);
}

BOOL DiskCalls::Read(HANDLE handle, void* buffer, DWORD bytes, DWORD* done)
{
    return ReadFile(handle, buffer, bytes, done, nullptr);
}

BOOL DiskCalls::Write(HANDLE handle, const void* buffer, DWORD bytes, DWORD* done)
{
    return WriteFile(handle, buffer, bytes, done, nullptr);
}

BOOL DiskCalls::Seek(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* position, DWORD method)
{
    return SetFilePointerEx(handle, distance, position, method);
}

BOOL DiskCalls::Size(HANDLE handle, LARGE_INTEGER* size)
{
    return GetFileSizeEx(handle, size);
}

BOOL DiskCalls::Flush(HANDLE handle)
{
    return FlushFileBuffers(handle);
}

BOOL DiskCalls::Close(HANDLE handle)
{
    return CloseHandle(handle);
}

UINT DiskCalls::DriveType(const std::string& root)
{
    return GetDriveTypeA(root.c_str());
}

BOOL DiskCalls::VolumeName(const std::string& root, char* name, DWORD bytes)
{
    return GetVolumeNameForVolumeMountPointA(root.c_str(), name, bytes);
}

BOOL DiskCalls::FileInformation(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information)
{
    return GetFileInformationByHandle(handle, information);
}

std::vector<std::string> DiskCalls::VolumeNames()
{
    std::vector<std::string> names;
    char name[MAX_PATH] = {};
    const HANDLE search = FindFirstVolumeA(name, sizeof name);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.emplace_back(name);
    } while (FindNextVolumeA(search, name, sizeof name));
    FindVolumeClose(search);
    return names;
}

void DiskCalls::Pause(DWORD milliseconds)
{
    Sleep(milliseconds);
}

EXECUTION_STATE DiskCalls::SetExecutionState(EXECUTION_STATE state)
{
    return SetThreadExecutionState(state);
}

DiskCalls& Disk()
{
    return *g_calls;
}

void SetDiskCallsForTests(DiskCalls* calls)
{
    g_calls = calls != nullptr ? calls : &g_systemCalls;
}
