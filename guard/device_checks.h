// The safety checks before a format: is the block device a removable medium,
// and does the path hold a mounted file system. Read from sysfs and the mount
// table; nothing here opens the device for writing.
#pragma once

#include "guard/mount_table.h"

#include <optional>
#include <string>
#include <sys/types.h>

struct BlockDeviceNumber {
    unsigned major = 0;
    unsigned minor = 0;
};

// A file as the kernel knows it: the same file under any name, hard link,
// symbolic link or bind-mounted path has the same pair.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

enum class Removability { removable, fixed, unknown };

// A partition counts as its disk: the medium is what is removable.
Removability RemovabilityOf(BlockDeviceNumber device);

// A mounted file system that formatting the device would write over: on the
// device itself, on its partitions, or on what is stacked on them (device
// mapper, RAID).
std::optional<MountEntry> FindMountOnBlockDevice(BlockDeviceNumber device, const std::vector<MountEntry>& mounts);

// The same for an image file: through any loop device backed by it, or a
// mount whose source is the file itself. Compared by identity, never by name.
std::optional<MountEntry> FindMountOnImage(FileIdentity image, const std::vector<MountEntry>& mounts);
