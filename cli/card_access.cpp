#include "cli/card_access.h"

#include "guard/device_length.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

std::unique_ptr<CardAccess> CardAccess::Open(const std::string& path, std::string& problem)
{
    // Not every file system takes direct I/O (tmpfs); those get the cache
    // dropped by Settle instead.
    int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_DIRECT);
    if (descriptor < 0 && errno == EINVAL) {
        descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (descriptor < 0) {
        problem = std::string("cannot open it for the check: ") + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<CardAccess>(new CardAccess(descriptor));
}

CardAccess::~CardAccess()
{
    ::close(descriptor_);
}

bool CardAccess::Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes)
{
    // A pulled card's image, cut short, must not grow back under the check.
    const std::optional<std::uint64_t> length = DeviceLengthBytes(descriptor_);
    if (!length || offsetBytes > *length || bytes.size() > *length - offsetBytes) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count =
            ::pwrite(descriptor_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offsetBytes + done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

std::size_t CardAccess::Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count =
            ::pread(descriptor_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offsetBytes + done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    return done;
}

void CardAccess::Settle()
{
    ::fsync(descriptor_);
    ::posix_fadvise(descriptor_, 0, 0, POSIX_FADV_DONTNEED);
}
