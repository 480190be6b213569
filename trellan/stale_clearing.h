// What a format zeroes before it writes anything: only the places where a
// reader would still find an old signature, so a card is not rewritten whole
// just to hide what no reader looks at.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "trellan/block_device.h"
#include "trellan/format_status.h"

namespace trellan {

// Sectors [first_sector, end_sector) of the card.
struct SectorRange {
    std::uint64_t first_sector = 0;
    std::uint64_t end_sector = 0;
    bool operator==(const SectorRange&) const = default;
};

// Readers look for signatures within the first 512 KiB of a disk or
// partition (MBR and GPT header, superblocks up to btrfs at 64 KiB, and the
// two 256 KiB labels pooled file systems keep at each end) and within its
// last 512 KiB (GPT backup, RAID superblocks, the other two labels), so that
// is what is cleared at each place.
inline constexpr std::uint64_t signature_reach_sectors = (512u << 10) / 512;

// That reach at the card's start and end and at the partition's start (its
// boot region included, so that a format cut short leaves no old boot sector
// in front of new tables) and the file system's own structures, sorted,
// merged and cut to the card.
std::vector<SectorRange> clearing_ranges(std::uint64_t card_sectors, std::uint64_t partition_start_sectors,
                                         std::span<const SectorRange> structures);

// Zeroes each range; a failure names the erase region and the range's first sector.
FormatStatus zero_ranges(BlockDevice& device, std::span<const SectorRange> ranges);

}  // namespace trellan
