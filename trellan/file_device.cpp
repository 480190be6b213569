#include "trellan/file_device.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#endif

namespace trellan {
namespace {

// Image files have no sector size of their own; cards use 512 bytes.
constexpr std::uint32_t image_sector_bytes = 512;

OpenFailure failure_from_errno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return OpenFailure::not_found;
    case EACCES:
    case EPERM:
    case EROFS:
        return OpenFailure::not_permitted;
    case EISDIR:
        return OpenFailure::not_a_device;
    default:
        return OpenFailure::io_error;
    }
}

bool query_block_device(int descriptor, std::uint32_t& sector_bytes, std::uint64_t& length_bytes)
{
#ifdef __linux__
    int logical_sector_bytes = 0;
    if (ioctl(descriptor, BLKSSZGET, &logical_sector_bytes) != 0 || logical_sector_bytes <= 0 ||
        ioctl(descriptor, BLKGETSIZE64, &length_bytes) != 0) {
        return false;
    }
    sector_bytes = static_cast<std::uint32_t>(logical_sector_bytes);
    return true;
#else
    (void)descriptor;
    (void)sector_bytes;
    (void)length_bytes;
    return false;
#endif
}

// Moves the whole buffer at first_byte through pread or pwrite, which may
// move less than asked or be interrupted; no progress at all is an error.
template <typename Byte, typename Transfer>
IoResult transfer_all(int descriptor, std::uint64_t first_byte, std::span<Byte> buffer, Transfer transfer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t count =
            transfer(descriptor, buffer.data() + done, buffer.size() - done, static_cast<off_t>(first_byte + done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return IoResult::io_error;
        }
        done += static_cast<std::size_t>(count);
    }
    return IoResult::ok;
}

}  // namespace

std::unique_ptr<FileDevice> FileDevice::open(const std::string& path, OpenFailure& failure)
{
    bool read_only = false;
    int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        read_only = descriptor >= 0;
    }
    if (descriptor < 0) {
        failure = failure_from_errno(errno);
        return nullptr;
    }
    return measure(descriptor, read_only, Ownership::owned, failure);
}

std::unique_ptr<FileDevice> FileDevice::over(int descriptor, OpenFailure& failure)
{
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0) {
        failure = OpenFailure::io_error;
        return nullptr;
    }
    return measure(descriptor, (flags & O_ACCMODE) == O_RDONLY, Ownership::borrowed, failure);
}

std::unique_ptr<FileDevice> FileDevice::measure(int descriptor, bool read_only, Ownership ownership,
                                                OpenFailure& failure)
{
    struct stat status {};
    std::uint32_t sector_bytes = image_sector_bytes;
    std::uint64_t length_bytes = 0;
    bool regular_file = false;
    if (fstat(descriptor, &status) != 0) {
        failure = OpenFailure::io_error;
    } else if (S_ISREG(status.st_mode)) {
        regular_file = true;
        length_bytes = static_cast<std::uint64_t>(status.st_size);
        failure = OpenFailure::none;
    } else if (S_ISBLK(status.st_mode)) {
        failure =
            query_block_device(descriptor, sector_bytes, length_bytes) ? OpenFailure::none : OpenFailure::io_error;
    } else {
        failure = OpenFailure::not_a_device;
    }
    if (failure != OpenFailure::none) {
        if (ownership == Ownership::owned) {
            ::close(descriptor);
        }
        return nullptr;
    }
    // A trailing partial sector cannot be written whole, so it is not part of the card.
    return std::unique_ptr<FileDevice>(
        new FileDevice(descriptor, read_only, ownership, regular_file, sector_bytes, length_bytes / sector_bytes));
}

FileDevice::FileDevice(int descriptor, bool read_only, Ownership ownership, bool regular_file,
                       std::uint32_t sector_size_bytes, std::uint64_t length_sectors)
    : descriptor_(descriptor), read_only_(read_only), ownership_(ownership), regular_file_(regular_file),
      sector_size_bytes_(sector_size_bytes), length_sectors_(length_sectors)
{
}

FileDevice::~FileDevice()
{
    if (ownership_ == Ownership::owned) {
        ::close(descriptor_);
    }
}

bool FileDevice::within(std::uint64_t first_sector, std::uint64_t count_sectors) const
{
    return first_sector <= length_sectors_ && count_sectors <= length_sectors_ - first_sector;
}

IoResult FileDevice::failed_write(std::uint64_t first_sector, int error)
{
    last_write_error_ = error;
    last_failed_sector_ = first_sector;
    return IoResult::io_error;
}

IoResult FileDevice::read(std::uint64_t first_sector, std::span<std::uint8_t> buffer)
{
    if (buffer.size() % sector_size_bytes_ != 0 || !within(first_sector, buffer.size() / sector_size_bytes_)) {
        return IoResult::out_of_range;
    }
    return transfer_all(descriptor_, first_sector * sector_size_bytes_, buffer, ::pread);
}

IoResult FileDevice::write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer)
{
    if (buffer.size() % sector_size_bytes_ != 0 || !within(first_sector, buffer.size() / sector_size_bytes_)) {
        return IoResult::out_of_range;
    }
    if (read_only_) {
        return failed_write(first_sector, EROFS);
    }
    const int error = write_in_place(descriptor_, first_sector * sector_size_bytes_, buffer);
    return error == 0 ? IoResult::ok : failed_write(first_sector, error);
}

IoResult FileDevice::write_zeros(std::uint64_t first_sector, std::uint64_t count_sectors)
{
    if (!within(first_sector, count_sectors)) {
        return IoResult::out_of_range;
    }
    if (read_only_) {
        return failed_write(first_sector, EROFS);
    }
#ifdef __linux__
    // KEEP_SIZE: a hole never changes the file's length.
    if (regular_file_ && count_sectors > 0 &&
        fallocate(descriptor_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                  static_cast<off_t>(first_sector * sector_size_bytes_),
                  static_cast<off_t>(count_sectors * sector_size_bytes_)) == 0) {
        return IoResult::ok;
    }
#endif
    return BlockDevice::write_zeros(first_sector, count_sectors);
}

IoResult FileDevice::flush()
{
    if (read_only_) {
        return IoResult::ok;
    }
    // A write the cache took may still fail on its way to the card.
    return ::fsync(descriptor_) == 0 ? IoResult::ok : failed_write(length_sectors_, errno);
}

const char* describe(OpenFailure failure)
{
    switch (failure) {
    case OpenFailure::none:
        return "opened";
    case OpenFailure::not_found:
        return "no such file or device";
    case OpenFailure::not_permitted:
        return "permission denied";
    case OpenFailure::not_a_device:
        return "neither an image file nor a block device";
    case OpenFailure::io_error:
        return "the device could not be opened or measured";
    }
    return "unknown failure";
}

namespace {

std::optional<std::uint64_t> live_length_bytes(int descriptor, bool& regular_file)
{
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        return std::nullopt;
    }
    regular_file = S_ISREG(status.st_mode);
    if (regular_file) {
        return static_cast<std::uint64_t>(status.st_size);
    }
    std::uint32_t sector_bytes = 0;
    std::uint64_t length_bytes = 0;
    return query_block_device(descriptor, sector_bytes, length_bytes) ? std::optional(length_bytes) : std::nullopt;
}

// A file cut below end_bytes while a write to [offset_bytes, end_bytes) was
// in flight has been grown back by it: the file is cut again where its data
// below the write ends, which is where the cut left it, or a hole's length
// past that.
void take_back_growth(int descriptor, std::uint64_t offset_bytes)
{
    std::uint64_t data_end = 0;
#ifdef SEEK_DATA
    for (off_t at = 0;;) {
        const off_t data = lseek(descriptor, at, SEEK_DATA);
        if (data < 0 || static_cast<std::uint64_t>(data) >= offset_bytes) {
            break;
        }
        const off_t hole = lseek(descriptor, data, SEEK_HOLE);
        if (hole < 0) {
            break;
        }
        data_end = std::min<std::uint64_t>(static_cast<std::uint64_t>(hole), offset_bytes);
        at = hole;
    }
#endif
    (void)!ftruncate(descriptor, static_cast<off_t>(data_end));
}

}  // namespace

int write_in_place(int descriptor, std::uint64_t offset_bytes, std::span<const std::uint8_t> bytes)
{
    bool regular_file = false;
    const std::optional<std::uint64_t> before = live_length_bytes(descriptor, regular_file);
    if (!before || offset_bytes > *before || bytes.size() > *before - offset_bytes) {
        return ENXIO;
    }
    const std::uint64_t end_bytes = offset_bytes + bytes.size();
    errno = 0;
    const IoResult written = transfer_all(descriptor, offset_bytes, bytes, ::pwrite);
    const int error = written == IoResult::ok ? 0 : (errno != 0 ? errno : EIO);
    if (!regular_file) {
        return error;
    }
    // A block device keeps its length; a file may have been cut meanwhile.
    bool still_regular = false;
    const std::optional<std::uint64_t> after = live_length_bytes(descriptor, still_regular);
    if (after == before) {
        return error;
    }
    if (after && *after <= end_bytes) {
        take_back_growth(descriptor, offset_bytes);
    }
    return ENXIO;
}

}  // namespace trellan
