#include "platform/card_locking.h"

#include "platform/disk_calls.h"
#include "platform/volume.h"

#include <winioctl.h>

namespace {

constexpr int kLockAttempts = 50;
constexpr DWORD kLockRetryMs = 200;

bool Control(HANDLE volume, DWORD code, NotSupported notSupported)
{
    DWORD returned = 0;
    return Disk().Control(volume, code, nullptr, 0, nullptr, 0, &returned) ||
           (notSupported == NotSupported::accepted && IsNotSupported(GetLastError()));
}

bool LockWithin(HANDLE volume, NotSupported notSupported, int attempts)
{
    for (int attempt = 1;; ++attempt) {
        if (Control(volume, FSCTL_LOCK_VOLUME, notSupported)) {
            return true;
        }
        if (attempt == attempts) {
            return false;
        }
        Disk().Pause(kLockRetryMs);
    }
}

}  // namespace

bool LockAndDismount(HANDLE volume, NotSupported notSupported)
{
    if (!LockWithin(volume, notSupported, kLockAttempts)) {
        if (!Control(volume, FSCTL_DISMOUNT_VOLUME, notSupported) || !LockWithin(volume, notSupported, 1)) {
            return false;
        }
    }
    // Once locked the volume is the format's whatever the dismount answers
    // (Wine answers 87 for an image drive).
    Control(volume, FSCTL_DISMOUNT_VOLUME, NotSupported::accepted);
    return true;
}
