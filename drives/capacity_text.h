// The size line beside "Disk Size" and what the Start button may do, decided
// from the geometry that the capacity query read (or failed to read).
#pragma once

#include "drives/disk_geometry.h"

#include <cstdint>
#include <optional>
#include <string>

// Bytes shown on the size line: the plain product of the four factors.
// Negative cylinders count as none; a product beyond 63 bits (no real card)
// saturates instead of wrapping.
std::int64_t DisplayedCapacityBytes(const DiskGeometry& geometry);

// What the size line shows for a card: DisplayedCapacityBytes, except that
// a card too small for one whole cylinder (8,225,280 bytes) shows its own
// length rather than 0 Bytes, which would ask about a card that reads as
// empty. lengthBytes: nullopt where the length cannot be read.
std::int64_t ShownCapacityBytes(const DiskGeometry& geometry, std::optional<std::uint64_t> lengthBytes);

// "%d.%02d GBytes ( %I64d  Bytes )", "%d MBytes ( %I64d Bytes )" or
// "%I64d Bytes", each followed by 4 blanks. One GByte is 2^30 bytes, one
// MByte 2^20; the hundredths are truncated.
std::string CapacityText(std::int64_t capacityBytes);

// Written between the query and its result, so that a longer previous text
// leaves nothing behind on a line drawn without background.
std::string ClearedSizeText();

// The two callers of the query: a new selection resets the view and keeps
// Start disabled until the next tick; the timer's poll enables Start while
// the card answers.
enum class CapacityQuery { selectionChange, poll };

struct StartButtonState {
    bool windowEnabled = false;
    bool inactive = true;  // the button's disabled look
};

struct CapacityView {
    std::string sizeText;
    bool cardActive = false;  // the active flag for the card pictures
    StartButtonState startButton;
};

// geometry: nullopt when the volume could not be opened or did not answer
// (no card in the reader): "0 Bytes" and 40 blanks, Start unusable.
// lengthBytes: the volume's own length, where it can be read.
CapacityView DecideCapacityView(CapacityQuery query, const std::optional<DiskGeometry>& geometry,
                                std::optional<std::uint64_t> lengthBytes = std::nullopt);

// No drive entry, or none selected: a blank line (63 blanks), no device is
// opened, and Start is kept unusable so that it cannot act on no drive.
CapacityView NoDriveCapacityView();
