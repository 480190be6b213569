// The Win32 calls through which the program and the card library reach
// disks and volumes, and the waits and the sleep hold around them. The
// system's own calls answer unless a test installs a model of Windows' disk
// rules: Wine cannot show those rules (a volume that is one partition, locks
// that exclude, refused writes), so they are tested against a model instead.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class DiskCalls {
public:
    virtual ~DiskCalls() = default;

    // CreateFileA(path, access, share, nullptr, OPEN_EXISTING, flags, nullptr).
    virtual HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD flags = 0);
    virtual BOOL Control(HANDLE handle, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes,
                         DWORD* returned);
    virtual BOOL Read(HANDLE handle, void* buffer, DWORD bytes, DWORD* done);
    virtual BOOL Write(HANDLE handle, const void* buffer, DWORD bytes, DWORD* done);
    // SetFilePointerEx.
    virtual BOOL Seek(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* position, DWORD method);
    // GetFileSizeEx.
    virtual BOOL Size(HANDLE handle, LARGE_INTEGER* size);
    // FlushFileBuffers.
    virtual BOOL Flush(HANDLE handle);
    virtual BOOL Close(HANDLE handle);
    // GetDriveTypeA of "X:\".
    virtual UINT DriveType(const std::string& root);
    // GetVolumeNameForVolumeMountPointA of "X:\".
    virtual BOOL VolumeName(const std::string& root, char* name, DWORD bytes);
    // GetFileInformationByHandle.
    virtual BOOL FileInformation(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information);
    // FindFirstVolumeA and FindNextVolumeA: every volume the system has
    // mounted, with a drive letter or without, as "\\?\Volume{...}\".
    virtual std::vector<std::string> VolumeNames();
    // Sleep: the waits for a volume's lock and arrival.
    virtual void Pause(DWORD milliseconds);
    // SetThreadExecutionState: a format keeps the system from idle sleep.
    virtual EXECUTION_STATE SetExecutionState(EXECUTION_STATE state);
};

// The calls in use: the system's, or a test's model.
DiskCalls& Disk();

// Tests only: installs a model (nullptr restores the system's calls).
void SetDiskCallsForTests(DiskCalls* calls);
