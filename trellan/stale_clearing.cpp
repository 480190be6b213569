#include "trellan/stale_clearing.h"

#include <algorithm>

namespace trellan {

std::vector<SectorRange> clearing_ranges(std::uint64_t card_sectors, std::uint64_t partition_start_sectors,
                                         std::span<const SectorRange> structures)
{
    const auto mib_from = [](std::uint64_t first) { return SectorRange{first, first + signature_reach_sectors}; };
    std::vector<SectorRange> wanted(structures.begin(), structures.end());
    wanted.push_back(mib_from(0));
    wanted.push_back(mib_from(partition_start_sectors));
    wanted.push_back({card_sectors - std::min(card_sectors, signature_reach_sectors), card_sectors});

    std::sort(wanted.begin(), wanted.end(),
              [](const SectorRange& a, const SectorRange& b) { return a.first_sector < b.first_sector; });
    std::vector<SectorRange> merged;
    for (SectorRange range : wanted) {
        range.end_sector = std::min(range.end_sector, card_sectors);
        if (range.first_sector >= range.end_sector) {
            continue;
        }
        if (!merged.empty() && range.first_sector <= merged.back().end_sector) {
            merged.back().end_sector = std::max(merged.back().end_sector, range.end_sector);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

FormatStatus zero_ranges(BlockDevice& device, std::span<const SectorRange> ranges)
{
    for (const SectorRange& range : ranges) {
        if (device.write_zeros(range.first_sector, range.end_sector - range.first_sector) != IoResult::ok) {
            return FormatStatus::failed(Failure::write_failed, Region::erase, range.first_sector);
        }
    }
    return FormatStatus::success();
}

}  // namespace trellan
