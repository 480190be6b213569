#include "cli/plan_text.h"

#include "cards/card_types.h"
#include "cli/label_text.h"
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

std::optional<trellan::Builder> BuilderFor(const DiskGeometry& geometry, CardType card)
{
    const std::optional<std::uint64_t> estimate = CapacityEstimateBytes(geometry);
    return estimate ? ChooseBuilder(card, SizeClassOf(*estimate)) : std::nullopt;
}

std::string StoredLabelLine(std::optional<trellan::Builder> builder, const CommandLine& line,
                            const StoredLabel& storedLabel)
{
    return LabelLine(builder && storedLabel ? storedLabel(*builder) : line.label, line.label);
}

}  // namespace

std::string PlanText(std::string_view device, const DiskGeometry& geometry, const CommandLine& line,
                     const StoredLabel& storedLabel, std::optional<std::uint64_t> lengthBytes)
{
    const std::optional<trellan::Builder> builder = BuilderFor(geometry, line.cardType);
    std::string text = "Device:    " + std::string(device) + "\n";
    text += "Disk Size: " + TrimmedRight(CapacityText(ShownCapacityBytes(geometry, lengthBytes))) + "\n";
    text += "Card:      " + std::string(CardName(line.cardType)) + ", " + std::string(ModeName(line.eraseMode)) + ", " +
            StoredLabelLine(builder, line, storedLabel) + "\n";
    text += "Builder:   " + std::string(BuilderName(builder)) + "\n";
    return text;
}

std::string BuilderText(const DiskGeometry& geometry, const CommandLine& line, const StoredLabel& storedLabel)
{
    const std::optional<trellan::Builder> builder = BuilderFor(geometry, line.cardType);
    return "Builder:   " + std::string(BuilderName(builder)) + ", " + StoredLabelLine(builder, line, storedLabel) +
           "\n";
}
