#include "guard/card_claim.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

bool IsTheTarget(int descriptor, const TargetIdentity& target)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return false;
    }
    if (target.kind == DeviceKind::blockDevice) {
        return S_ISBLK(status.st_mode) && major(status.st_rdev) == target.deviceNumber.major &&
               minor(status.st_rdev) == target.deviceNumber.minor;
    }
    return S_ISREG(status.st_mode) && FileIdentity{status.st_dev, status.st_ino} == target.file;
}

}  // namespace

CardClaim::CardClaim(const std::string& path, const TargetIdentity& target)
{
    // Read-only is enough to claim, and keeps a locked card claimable: the
    // job's own opens report the write protection.
    const int flags = O_RDONLY | O_CLOEXEC | (target.kind == DeviceKind::blockDevice ? O_EXCL : 0);
    descriptor_ = ::open(path.c_str(), flags);
    if (descriptor_ < 0) {
        refusal_ = errno == EBUSY ? Refusal::busy : Refusal::failed;
        problem_ = refusal_ == Refusal::busy ? kCardBusyText : std::string("cannot open it: ") + std::strerror(errno);
        return;
    }
    if (!IsTheTarget(descriptor_, target)) {
        refusal_ = Refusal::failed;
        problem_ = "it was replaced by another file while it was checked";
    } else if (target.kind == DeviceKind::imageFile && ::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        refusal_ = errno == EWOULDBLOCK ? Refusal::busy : Refusal::failed;
        problem_ = refusal_ == Refusal::busy ? kCardBusyText : std::string("cannot lock it: ") + std::strerror(errno);
    }
}

CardClaim::~CardClaim()
{
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}
