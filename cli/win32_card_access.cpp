#include "cli/win32_card_access.h"

#include "platform/volume.h"

#include <algorithm>

namespace {

// A transfer's length fits a DWORD: the checks move at most 1 MiB at once.
bool Transfer(HANDLE handle, std::uint64_t offsetBytes, DWORD bytes, auto call)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offsetBytes);
    at.OffsetHigh = static_cast<DWORD>(offsetBytes >> 32);
    DWORD done = 0;
    return call(handle, bytes, &done, &at) && done == bytes;
}

std::string SystemText(DWORD error)
{
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    message.erase(message.find_last_not_of(" .\r\n") + 1);
    return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace

std::unique_ptr<Win32CardAccess> Win32CardAccess::Open(char driveLetter, Use use, Opening& opening,
                                                       std::string& problem)
{
    const DWORD access = use == Use::readWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    const HANDLE handle =
        CreateFileA(VolumePath(driveLetter).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool refused = error == ERROR_WRITE_PROTECT || error == ERROR_ACCESS_DENIED;
        opening = refused && use == Use::readWrite ? Opening::writeProtected : Opening::failed;
        problem = "cannot open the card: " + SystemText(error);
        return nullptr;
    }
    std::unique_ptr<Win32CardAccess> card;
    const std::optional<ULONGLONG> length = DeviceLength(handle);
    if (!length || *length == 0) {
        CloseHandle(handle);
        opening = Opening::failed;
        problem = "no card in the reader";
        return nullptr;
    }
    card.reset(new Win32CardAccess(handle, *length));
    // A mounted file system guards its sectors from raw writes; the lock
    // also keeps other programs off the card until the check closes it.
    if (use == Use::readWrite) {
        if (!LockVolume(handle)) {
            opening = Opening::inUse;
            problem = "a program holds files open on the card; close it and try again; nothing was written";
            return nullptr;
        }
        DismountVolume(handle);
    }
    opening = Opening::opened;
    return card;
}

Win32CardAccess::~Win32CardAccess()
{
    CloseHandle(handle_);
}

bool Win32CardAccess::Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes)
{
    // An image behind the drive must not grow past the card's end.
    if (offsetBytes > lengthBytes_ || bytes.size() > lengthBytes_ - offsetBytes) {
        return false;
    }
    return Transfer(handle_, offsetBytes, static_cast<DWORD>(bytes.size()),
                    [&](HANDLE handle, DWORD size, DWORD* done, OVERLAPPED* at) {
                        return WriteFile(handle, bytes.data(), size, done, at) != 0;
                    });
}

std::size_t Win32CardAccess::Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes)
{
    // Unbuffered reads past the end fail whole rather than come up short.
    if (offsetBytes >= lengthBytes_) {
        return 0;
    }
    const DWORD size = static_cast<DWORD>(std::min<std::uint64_t>(bytes.size(), lengthBytes_ - offsetBytes));
    const bool read =
        Transfer(handle_, offsetBytes, size, [&](HANDLE handle, DWORD wanted, DWORD* done, OVERLAPPED* at) {
            return ReadFile(handle, bytes.data(), wanted, done, at) != 0;
        });
    return read ? size : 0;
}

void Win32CardAccess::Settle()
{
    // Nothing is cached for reads; the card's own write cache is flushed.
    FlushFileBuffers(handle_);
}
