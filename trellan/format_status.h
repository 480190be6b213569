// What a format step reports: success, or which region and sector failed and why.
// The library never prints or exits; callers turn this into their own messages.
#pragma once

#include <cstdint>
#include <string>

namespace trellan {

enum class Region {
    none,
    device,
    layout,
    erase,
    mbr,
    boot_sector,
    fsinfo,
    fat,
    root_directory,
    exfat_boot_region,
    allocation_bitmap,
    upcase_table,
};

enum class Failure {
    none,
    too_small,     // no layout of this builder fits the card
    too_large,     // beyond what the builder's file system can address
    bad_geometry,  // zero length or an unsupported sector size
    read_failed,
    write_failed,
    flush_failed,
    write_protected,  // the device refuses writes; nothing was written
};

struct FormatStatus {
    Failure failure = Failure::none;
    Region region = Region::none;
    std::uint64_t sector = 0;

    bool ok() const { return failure == Failure::none; }
    static FormatStatus success() { return {}; }
    static FormatStatus failed(Failure why, Region where, std::uint64_t at_sector = 0)
    {
        return {why, where, at_sector};
    }
};

// "a write failed (FAT, sector 8222)": for front ends that report failures.
std::string describe(const FormatStatus& status);

}  // namespace trellan
