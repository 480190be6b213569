#include "format/cli/trellan_card_library.h"

#include "trellan/builders.h"
#include "trellan/file_device.h"

namespace {

trellan::Builder TrellanBuilder(CardBuilder builder)
{
    switch (builder) {
    case CardBuilder::cf:
        return trellan::Builder::cf;
    case CardBuilder::exFat:
        return trellan::Builder::exfat;
    case CardBuilder::fat32:
        return trellan::Builder::fat32;
    case CardBuilder::sd:
        return trellan::Builder::sd;
    case CardBuilder::mmc:
        return trellan::Builder::mmc;
    }
    return trellan::Builder::sd;
}

const char* FailureName(trellan::Failure failure)
{
    using trellan::Failure;
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

const char* RegionName(trellan::Region region)
{
    using trellan::Region;
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

std::string DescribeFormatStatus(const trellan::FormatStatus& status)
{
    std::string text = FailureName(status.failure);
    if (status.region != trellan::Region::none) {
        text += std::string(" (") + RegionName(status.region) + ", sector " + std::to_string(status.sector) + ")";
    }
    return text;
}

int TrellanCardLibrary::Build(CardBuilder builder, char /*driveLetter*/, char* label)
{
    trellan::OpenFailure openFailure = trellan::OpenFailure::none;
    const std::unique_ptr<trellan::FileDevice> device = trellan::FileDevice::open(path_, openFailure);
    if (!device) {
        failureText_ = std::string("cannot open the device again: ") + trellan::describe(openFailure);
        return 0;
    }
    const trellan::FormatStatus status =
        trellan::build(TrellanBuilder(builder), *device, label, trellan::current_format_stamp());
    failureText_ = status.ok() ? std::string() : DescribeFormatStatus(status);
    return status.ok() ? 1 : 0;
}
