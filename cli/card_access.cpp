#include "cli/card_access.h"

#include "guard/write_failure_text.h"
#include "trellan/file_device.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kSectorBytes = 512;

}  // namespace

CardAccess::CardAccess(int descriptor) : descriptor_(descriptor), flags_(::fcntl(descriptor, F_GETFL))
{
    // Not every file system takes direct I/O (tmpfs); those get the cache
    // dropped by Settle instead.
    if (flags_ >= 0) {
        ::fcntl(descriptor_, F_SETFL, flags_ | O_DIRECT);
    }
}

CardAccess::~CardAccess()
{
    if (flags_ >= 0) {
        ::fcntl(descriptor_, F_SETFL, flags_);
    }
}

void CardAccess::RecordFault(int error, std::optional<std::uint64_t> offsetBytes)
{
    if (deviceFault_.empty()) {
        deviceFault_ = WriteFailureText(error, offsetBytes ? std::optional<std::uint64_t>(*offsetBytes / kSectorBytes)
                                                           : std::nullopt);
    }
}

bool CardAccess::Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes)
{
    // A pulled card's image, cut short, must not grow back under the check.
    const int error = trellan::write_in_place(descriptor_, offsetBytes, bytes);
    // A block that cannot be stored at all is the device's failure; one the
    // card takes and loses is the check's finding.
    if (error != 0 && error != ENXIO) {
        RecordFault(error, offsetBytes);
    }
    return error == 0;
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
        if (count < 0) {
            RecordFault(errno, offsetBytes + done);
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
    if (::fsync(descriptor_) != 0 && errno != EINVAL) {
        RecordFault(errno, std::nullopt);
    }
    ::posix_fadvise(descriptor_, 0, 0, POSIX_FADV_DONTNEED);
}
