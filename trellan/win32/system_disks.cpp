#include "trellan/win32/system_disks.h"

#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/disk_calls.h"
#include "platform/volume.h"
#include "trellan/win32/win32_handle.h"

namespace trellan {
namespace {

constexpr DWORD max_extents = 32;
constexpr const char* memory_management_key = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";

char upper(char letter)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

// PagingFiles is a list of "X:\pagefile.sys min max" strings; "?:\" means
// a system-managed file on the Windows volume, which is listed anyway.
void add_page_file_letters(std::vector<char>& letters)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, memory_management_key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    std::string value(4096, '\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(value.size());
    if (RegQueryValueExA(key, "PagingFiles", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) ==
            ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        value.resize(std::min<std::size_t>(size, value.size()));
        std::size_t start = 0;
        while (start < value.size() && value[start] != '\0') {
            const std::size_t end = value.find('\0', start);
            const std::string entry = value.substr(start, end - start);
            if (entry.size() >= 2 && entry[1] == ':' && (is_drive_letter(entry[0]) || entry[0] == '?')) {
                letters.push_back(upper(entry[0]));
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
    }
    RegCloseKey(key);
}

}  // namespace

std::vector<DWORD> volume_disk_numbers(HANDLE volume)
{
    const std::size_t bytes = sizeof(VOLUME_DISK_EXTENTS) + (max_extents - 1) * sizeof(DISK_EXTENT);
    std::vector<std::uint8_t> buffer(bytes);
    DWORD returned = 0;
    if (!Disk().Control(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer.data(),
                        static_cast<DWORD>(buffer.size()), &returned)) {
        return {};
    }
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
    std::vector<DWORD> disks;
    for (DWORD i = 0; i < extents->NumberOfDiskExtents && i < max_extents; ++i) {
        disks.push_back(extents->Extents[i].DiskNumber);
    }
    return disks;
}

std::vector<char> system_drive_letters()
{
    std::vector<char> letters;
    char windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryA(windows, MAX_PATH);
    if (length >= 2 && length < MAX_PATH && windows[1] == ':') {
        letters.push_back(upper(windows[0]));
    }
    add_page_file_letters(letters);
    if (!letters.empty()) {
        std::replace(letters.begin(), letters.end(), '?', letters.front());
    }
    return letters;
}

bool is_system_drive(char letter, HANDLE volume)
{
    const std::vector<char> system_letters = system_drive_letters();
    if (std::find(system_letters.begin(), system_letters.end(), upper(letter)) != system_letters.end()) {
        return true;
    }
    const std::vector<DWORD> disks = volume_disk_numbers(volume);
    if (disks.empty()) {
        return false;
    }
    for (char system_letter : system_letters) {
        UniqueHandle system_volume(Disk().Open(VolumePath(system_letter), 0, FILE_SHARE_READ | FILE_SHARE_WRITE));
        if (!system_volume.valid()) {
            continue;
        }
        for (DWORD system_disk : volume_disk_numbers(system_volume.get())) {
            if (std::find(disks.begin(), disks.end(), system_disk) != disks.end()) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace trellan
