#include "trellan/format_status.h"

namespace trellan {

namespace {

const char* FailureName(Failure failure)
{
    switch (failure) {
    case Failure::none:
        return "no failure";
    case Failure::too_small:
        return "the card is too small for this file system";
    case Failure::too_large:
        return "the card is too large for this file system";
    case Failure::bad_geometry:
        return "the device reports no usable size or sector size";
    case Failure::read_failed:
        return "a read failed";
    case Failure::write_failed:
        return "a write failed";
    case Failure::flush_failed:
        return "flushing the device failed";
    case Failure::write_protected:
        return "the device refuses writes";
    }
    return "unknown failure";
}

const char* RegionName(Region region)
{
    switch (region) {
    case Region::none:
        return "";
    case Region::device:
        return "device";
    case Region::layout:
        return "layout";
    case Region::erase:
        return "erase";
    case Region::mbr:
        return "partition table";
    case Region::boot_sector:
        return "boot sector";
    case Region::fsinfo:
        return "FSInfo sector";
    case Region::fat:
        return "FAT";
    case Region::root_directory:
        return "root directory";
    case Region::exfat_boot_region:
        return "exFAT boot region";
    case Region::allocation_bitmap:
        return "allocation bitmap";
    case Region::upcase_table:
        return "up-case table";
    }
    return "";
}

}  // namespace

std::string describe(const FormatStatus& status)
{
    std::string text = FailureName(status.failure);
    if (status.region != Region::none)
        text += std::string(" (") + RegionName(status.region) + ", sector " + std::to_string(status.sector) + ")";
    return text;
}

}  // namespace trellan
