#include "format/format_plan.h"

#include "drives/exfat_support.h"

std::optional<std::uint64_t> CapacityEstimateBytes(const DiskGeometry& geometry)
{
    if (geometry.cylinders < 0) {
        return std::nullopt;
    }
    const std::uint64_t factors[] = {std::uint64_t{geometry.tracksPerCylinder} + 1, geometry.sectorsPerTrack,
                                     geometry.bytesPerSector};
    std::uint64_t product = static_cast<std::uint64_t>(geometry.cylinders) + 1;
    for (const std::uint64_t factor : factors) {
        if (__builtin_mul_overflow(product, factor, &product)) {
            return std::nullopt;
        }
    }
    return product;
}

SizeClass SizeClassOf(std::uint64_t estimateBytes)
{
    const std::uint64_t mebibytes = estimateBytes / kMebibyteBytes;
    if (mebibytes > kLargeAboveMebibytes) {
        return SizeClass::large;
    }
    return mebibytes > kMidAboveMebibytes ? SizeClass::mid : SizeClass::small;
}

std::optional<trellan::Builder> ChooseBuilder(CardType cardType, SizeClass sizeClass)
{
    const CardTypeRow* row = CardTypeRowOf(cardType);
    if (row == nullptr) {
        return std::nullopt;
    }
    return row->builders[static_cast<size_t>(sizeClass)];
}

ErasePlan PlanErase(EraseMode mode, std::uint64_t extentBytes, std::uint32_t bytesPerSector)
{
    ErasePlan plan;
    const EraseModeRow* row = EraseModeRowOf(mode);
    if (row == nullptr) {
        return plan;
    }
    plan.bytesPerBlock = row->bytesPerBlock;
    plan.blockCount = extentBytes / kEraseBlockStepBytes;
    plan.bytesPerSector = bytesPerSector;
    if (bytesPerSector != 0) {
        plan.tailSectorCount = extentBytes % kEraseBlockStepBytes / bytesPerSector;
    }
    return plan;
}

std::optional<std::string_view> ExFatWarningText(int probeAnswer)
{
    switch (probeAnswer) {
    case EXFAT_NEED_SP1:
        return "Your operating system can't support exFAT file system, Are you sure you want to "
               "format your card? Please upgrade your operating system with Service Pack 1 to "
               "support exFAT";
    case EXFAT_NEED_SP2:
        return "Your operating system can't support exFAT file system, Are you sure you want to "
               "format your card? Please upgrade your operating system with Service Pack 2 to "
               "support exFAT";
    case EXFAT_NEED_PATCH:
        return "Your operating system can't support exFAT file system, Are you sure you want to "
               "format your card? Please update for Windows XP with exFAT patch KB955704 to "
               "support exFAT";
    case EXFAT_UNSUPPORTED:
        return "Your operating system can't support exFAT file system, Are you sure you want to "
               "format your card?";
    case EXFAT_NEED_SP2_AND_PATCH:
        return "Your operating system can't support exFAT file system, Are you sure you want to "
               "format your card? Please upgrade your operating system with Service Pack 2 and "
               "exFAT patch KB955704 to support exFAT";
    default:
        return std::nullopt;
    }
}
