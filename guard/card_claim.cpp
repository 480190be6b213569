#include "guard/card_claim.h"

#include "guard/device_length.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/loop.h>
#include <optional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// sysfs counts a partition's start in these, whatever the device's sectors.
constexpr std::uint64_t kSysfsSectorBytes = 512;

bool IsTheTarget(const struct stat& status, const TargetIdentity& target)
{
    if (target.kind == DeviceKind::blockDevice) {
        return S_ISBLK(status.st_mode) && major(status.st_rdev) == target.deviceNumber.major &&
               minor(status.st_rdev) == target.deviceNumber.minor;
    }
    return S_ISREG(status.st_mode) && FileIdentity{status.st_dev, status.st_ino} == target.file;
}

bool DescriptorIsTheTarget(int descriptor, const TargetIdentity& target)
{
    struct stat status {};
    return ::fstat(descriptor, &status) == 0 && IsTheTarget(status, target);
}

bool IsPermissionError(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

std::string ReadFirstLine(const fs::path& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// Where a loop device (or a partition of one) keeps the card: the file it
// reads and the byte range of it that the device covers.
struct StoredRange {
    std::string backingPath;
    FileIdentity backing;
    std::uint64_t offsetBytes = 0;
};

std::optional<StoredRange> LoopStorageOf(BlockDeviceNumber device)
{
    std::error_code error;
    fs::path directory = fs::canonical(
        fs::path("/sys/dev/block") / (std::to_string(device.major) + ":" + std::to_string(device.minor)), error);
    if (error) {
        return std::nullopt;
    }
    std::uint64_t partitionStartBytes = 0;
    if (fs::exists(directory / "partition", error)) {
        partitionStartBytes = std::stoull("0" + ReadFirstLine(directory / "start")) * kSysfsSectorBytes;
        directory = directory.parent_path();
    }
    if (!fs::exists(directory / "loop", error)) {
        return std::nullopt;
    }
    const int loop = ::open(("/dev/" + directory.filename().string()).c_str(), O_RDONLY | O_CLOEXEC);
    if (loop < 0) {
        return std::nullopt;
    }
    loop_info64 info{};
    const bool answered = ::ioctl(loop, LOOP_GET_STATUS64, &info) == 0;
    ::close(loop);
    if (!answered) {
        return std::nullopt;
    }
    return StoredRange{.backingPath = ReadFirstLine(directory / "loop" / "backing_file"),
                       .backing = {static_cast<dev_t>(info.lo_device), static_cast<ino_t>(info.lo_inode)},
                       .offsetBytes = info.lo_offset + partitionStartBytes};
}

// An open file description's lock on [offset, offset + length); length 0
// runs to the end of the file and past it. Writers exclude each other and
// readers; a read-only open can only read-lock.
bool LockRange(int descriptor, bool writable, std::uint64_t offsetBytes, std::uint64_t lengthBytes)
{
    struct flock lock {};
    lock.l_type = writable ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offsetBytes);
    lock.l_len = static_cast<off_t>(lengthBytes);
    return ::fcntl(descriptor, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

CardClaim::CardClaim(const std::string& path, const TargetIdentity& target) : path_(path), target_(target)
{
    const int exclusive = target.kind == DeviceKind::blockDevice ? O_EXCL : 0;
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC | exclusive);
    if (descriptor_ < 0 && IsPermissionError(errno)) {
        readWriteError_ = errno;
        descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | exclusive);
    }
    if (descriptor_ < 0) {
        refusal_ = errno == EBUSY ? Refusal::busy : Refusal::failed;
        problem_ = refusal_ == Refusal::busy ? kCardBusyText : std::string("cannot open it: ") + std::strerror(errno);
        return;
    }
    if (!DescriptorIsTheTarget(descriptor_, target)) {
        refusal_ = Refusal::failed;
        problem_ = "it was replaced by another file while it was checked";
        return;
    }
    claimedLengthBytes_ = DeviceLengthBytes(descriptor_).value_or(0);
    if (target.kind == DeviceKind::imageFile &&
        (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0 || !LockRange(descriptor_, readWriteError_ == 0, 0, 0))) {
        refusal_ = errno == EWOULDBLOCK || errno == EAGAIN || errno == EACCES ? Refusal::busy : Refusal::failed;
        problem_ = refusal_ == Refusal::busy ? kCardBusyText : std::string("cannot lock it: ") + std::strerror(errno);
        return;
    }
    if (target.kind == DeviceKind::blockDevice) {
        ClaimStorage();
    }
}

void CardClaim::ClaimStorage()
{
    const std::optional<StoredRange> range = LoopStorageOf(target_.deviceNumber);
    if (!range || range->backingPath.empty()) {
        return;
    }
    // The file is found by its name and known by its identity; a file out of
    // reach by name (deleted, another mount namespace) no program of ours
    // can claim either.
    bool writable = true;
    storageDescriptor_ = ::open(range->backingPath.c_str(), O_RDWR | O_CLOEXEC);
    if (storageDescriptor_ < 0) {
        writable = false;
        storageDescriptor_ = ::open(range->backingPath.c_str(), O_RDONLY | O_CLOEXEC);
    }
    struct stat status {};
    if (storageDescriptor_ < 0 || ::fstat(storageDescriptor_, &status) != 0 ||
        FileIdentity{status.st_dev, status.st_ino} != range->backing) {
        return;
    }
    if (!LockRange(storageDescriptor_, writable, range->offsetBytes, claimedLengthBytes_)) {
        refusal_ = errno == EAGAIN || errno == EACCES ? Refusal::busy : Refusal::failed;
        problem_ = refusal_ == Refusal::busy ? kCardBusyText
                                             : std::string("cannot lock the file it reads: ") + std::strerror(errno);
    }
}

CardClaim::~CardClaim()
{
    if (storageDescriptor_ >= 0) {
        ::close(storageDescriptor_);
    }
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::uint32_t CardClaim::ChangeCount() const
{
    if (changes_ == 0) {
        struct stat status {};
        const bool named = ::stat(path_.c_str(), &status) == 0 && IsTheTarget(status, target_);
        if (!named || DeviceLengthBytes(descriptor_) != claimedLengthBytes_) {
            changes_ = 1;
        }
    }
    return changes_;
}
