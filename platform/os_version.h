// The system's version and processor records, and a file test that can see
// past the 32-bit file-system redirection.
#pragma once

#include <windows.h>

// GetVersionExA with the extended record (zeroed, size field set); false
// when the query fails.
bool GetVersionRecord(OSVERSIONINFOEXA& record);

// The machine's processor architecture: GetNativeSystemInfo where kernel32
// offers it, else GetSystemInfo.
WORD GetNativeProcessorArchitecture();

enum class FsRedirection { keep, disable };

// Whether a file of exactly this path exists. With disable, the calling
// thread's WOW64 redirection is switched off for the search (where kernel32
// offers the switch) and restored before returning.
bool FileExists(const char* path, FsRedirection redirection);
