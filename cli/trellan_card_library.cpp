#include "cli/trellan_card_library.h"

#include "trellan/builders.h"
#include "trellan/file_device.h"
#include "trellan/volume_label.h"

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

}  // namespace

int TrellanCardLibrary::Build(CardBuilder builder, char /*driveLetter*/, char* label)
{
    trellan::OpenFailure openFailure = trellan::OpenFailure::none;
    const std::unique_ptr<trellan::FileDevice> device = trellan::FileDevice::open(path_, openFailure);
    if (!device) {
        failureText_ = std::string("cannot open the device again: ") + trellan::describe(openFailure);
        return 0;
    }
    const trellan::VolumeLabel volumeLabel = trellan::volume_label_from_utf8(label == nullptr ? "" : label, codePage_);
    const trellan::FormatStatus status =
        trellan::build(TrellanBuilder(builder), *device, volumeLabel, trellan::current_format_stamp());
    failureText_ = status.ok() ? std::string() : trellan::describe(status);
    return status.ok() ? 1 : 0;
}
