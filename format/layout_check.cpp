#include "format/layout_check.h"

#include "trellan/builders.h"
#include "trellan/exfat_layout.h"
#include "trellan/exfat_upcase.h"

namespace {

constexpr std::uint32_t kCardSectorBytes = 512;

std::optional<LayoutRefusal> RefusalOf(trellan::Failure failure)
{
    switch (failure) {
    case trellan::Failure::none:
        return std::nullopt;
    case trellan::Failure::too_large:
        return LayoutRefusal::tooLarge;
    default:
        return LayoutRefusal::tooSmall;
    }
}

std::uint32_t UpcaseTableBytes()
{
    static const std::uint32_t bytes = static_cast<std::uint32_t>(trellan::exfat_upcase_table_bytes().size());
    return bytes;
}

}  // namespace

std::optional<LayoutRefusal> CheckLayout(CardBuilder builder, std::uint64_t lengthBytes)
{
    const std::uint64_t sectors = lengthBytes / kCardSectorBytes;
    // The builders refuse a card without a whole sector before they plan.
    if (sectors == 0) {
        return LayoutRefusal::tooSmall;
    }
    switch (builder) {
    case CardBuilder::cf:
        return RefusalOf(trellan::plan_cf(sectors).failure);
    case CardBuilder::exFat:
        return RefusalOf(trellan::plan_exfat(sectors, kCardSectorBytes, UpcaseTableBytes()).status.failure);
    case CardBuilder::fat32:
        return RefusalOf(trellan::plan_sd_high_capacity(sectors).failure);
    case CardBuilder::sd:
        return RefusalOf(trellan::plan_sd(sectors).failure);
    case CardBuilder::mmc:
        return RefusalOf(trellan::plan_mmc(sectors).failure);
    }
    return LayoutRefusal::tooSmall;
}

std::string_view LayoutRefusalText(LayoutRefusal refusal)
{
    if (refusal == LayoutRefusal::tooLarge) {
        return "This card is too large to be formatted: cards of up to 2 TiB can be formatted. "
               "Nothing has been written to it.";
    }
    return "This card is too small to hold a file system. Nothing has been written to it.";
}
