#include "cli/plan_text.h"

#include "cards/card_types.h"
#include "drives/capacity_text.h"
#include "format/format_plan.h"

#include <optional>

namespace {

std::string_view CardName(CardType card)
{
    const CardTypeRow* row = CardTypeRowOf(card);
    return row != nullptr ? row->title : "none";
}

std::string_view ModeName(EraseMode mode)
{
    const EraseModeRow* row = EraseModeRowOf(mode);
    return row != nullptr ? row->title : "no erase pass";
}

std::string_view BuilderName(std::optional<trellan::Builder> builder)
{
    return builder ? trellan::builder_description(*builder) : "none";
}

std::string TrimmedRight(std::string text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

std::string PlanText(std::string_view device, const DiskGeometry& geometry, const CommandLine& line)
{
    const std::optional<std::uint64_t> estimate = CapacityEstimateBytes(geometry);
    const std::optional<trellan::Builder> builder =
        estimate ? ChooseBuilder(line.cardType, SizeClassOf(*estimate)) : std::nullopt;
    std::string text = "Device:    " + std::string(device) + "\n";
    text += "Disk Size: " + TrimmedRight(CapacityText(DisplayedCapacityBytes(geometry))) + "\n";
    text += "Card:      " + std::string(CardName(line.cardType)) + ", " + std::string(ModeName(line.eraseMode)) +
            ", label \"" + line.label + "\"\n";
    text += "Builder:   " + std::string(BuilderName(builder)) + "\n";
    return text;
}
