#include "format/layout_check.h"

#include "trellan/builders.h"

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

}  // namespace

std::optional<LayoutRefusal> CheckLayout(trellan::Builder builder, std::uint64_t lengthBytes)
{
    const std::uint64_t sectors = lengthBytes / kCardSectorBytes;
    // The builders refuse a card without a whole sector before they plan.
    if (sectors == 0) {
        return LayoutRefusal::tooSmall;
    }
    return RefusalOf(trellan::layout_failure(builder, sectors));
}

std::string_view LayoutRefusalText(LayoutRefusal refusal)
{
    if (refusal == LayoutRefusal::tooLarge) {
        return "This card is too large to be formatted: cards of up to 2 TiB can be formatted. "
               "Nothing has been written to it.";
    }
    return "This card is too small to hold a file system. Nothing has been written to it.";
}
