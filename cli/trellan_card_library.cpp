#include "cli/trellan_card_library.h"

#include "cli/card_access.h"
#include "cli/card_health.h"
#include "cli/exit_status.h"
#include "cli/limited_device.h"
#include "guard/stop_signals.h"
#include "guard/write_failure_text.h"
#include "trellan/builders.h"
#include "trellan/file_device.h"
#include "trellan/volume_label.h"

int TrellanCardLibrary::Build(trellan::Builder builder, char /*driveLetter*/, char* label,
                              const std::optional<trellan::ExfatOemSector>& oemParameters)
{
    cardFaulty_ = false;
    trellan::OpenFailure openFailure = trellan::OpenFailure::none;
    std::unique_ptr<trellan::FileDevice> card = trellan::FileDevice::over(descriptor_, openFailure);
    if (!card) {
        failureText_ = std::string("cannot measure the card again: ") + trellan::describe(openFailure);
        return 0;
    }
    const trellan::FileDevice& writes = *card;
    std::unique_ptr<trellan::BlockDevice> device = std::move(card);
    if (options_.lengthLimit) {
        device = std::make_unique<LengthLimitedDevice>(std::move(device), *options_.lengthLimit);
    }
    if (options_.verifyErase) {
        // A read-back may end anywhere: the card is erased either way.
        StopAtOnce("veltrane-format", "stopped during the read-back: the card is erased and holds no file system",
                   kExitStopped);
        const bool erased = VerifyErase(device->length_sectors() * device->sector_size_bytes());
        StopAtOnce(nullptr, nullptr, 0);
        if (!erased) {
            return 0;
        }
    }
    const trellan::VolumeLabel volumeLabel =
        trellan::volume_label_from_utf8(label == nullptr ? "" : label, options_.codePage);
    const trellan::FormatStatus status =
        trellan::build(builder, *device, volumeLabel, trellan::current_format_stamp(), oemParameters);
    failureText_ = status.ok() ? std::string() : trellan::describe(status);
    if (!status.ok() && writes.last_write_error() != 0) {
        failureText_ += ": " + WriteFailureText(writes.last_write_error(), std::nullopt);
    }
    return status.ok() ? 1 : 0;
}

bool TrellanCardLibrary::VerifyErase(std::uint64_t lengthBytes)
{
    CardAccess card(descriptor_);
    const ZeroCheck check = CheckAllZero(card, lengthBytes, stderr);
    if (!check.firstBadOffset) {
        return true;
    }
    cardFaulty_ = true;
    failureText_ = DescribeZeroCheck(check);
    return false;
}
