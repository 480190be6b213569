// The lines shown before the question: the card, its size, and the format
// the job will give it.
#pragma once

#include "cli/command_line.h"
#include "drives/disk_geometry.h"

#include "trellan/builder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The label the builder will store, in UTF-8; empty for none.
using StoredLabel = std::function<std::string(trellan::Builder)>;

// device: how the card is named, e.g. "/dev/sdc (block device)" or "E:
// (removable drive)"; geometry: what the job will read of it; lengthBytes:
// the card's own length, where known. storedLabel nullptr: the label is
// shown as typed.
std::string PlanText(std::string_view device, const DiskGeometry& geometry, const CommandLine& line,
                     const StoredLabel& storedLabel = nullptr, std::optional<std::uint64_t> lengthBytes = std::nullopt);

// The plan's builder line alone, for a card then formatted for less than it
// reports; with the label that builder stores where it differs.
std::string BuilderText(const DiskGeometry& geometry, const CommandLine& line, const StoredLabel& storedLabel);
