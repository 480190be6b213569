// The mounted file systems as /proc/self/mountinfo lists them, read with libmount.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct MountEntry {
    unsigned major = 0;  // of the device the file system is on
    unsigned minor = 0;
    std::string mountPoint;
    std::string source;  // the device path the file system was mounted from
};

// Text in the mountinfo format. Lines that do not parse are skipped: a mount
// we cannot read is no device of ours.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The current process's table; empty when it cannot be read.
std::vector<MountEntry> ReadMountTable();
