#include "trellan/block_device.h"

#include <algorithm>
#include <vector>

namespace trellan {

namespace {

// 1 MiB per write: large enough that the device, not the call count, sets
// the pace, small enough to allocate on any host.
constexpr std::size_t zero_chunk_bytes = 1 << 20;

// Allocated once: a build zeroes several ranges, and fresh memory for each
// costs its page faults every time.
std::span<const std::uint8_t> zero_chunk()
{
    static const std::vector<std::uint8_t> zeros(zero_chunk_bytes, 0);
    return zeros;
}

}  // namespace

IoResult BlockDevice::write_zeros(std::uint64_t first_sector, std::uint64_t count_sectors)
{
    const std::uint64_t sector_bytes = sector_size_bytes();
    if (sector_bytes == 0) {
        return IoResult::io_error;
    }
    const std::uint64_t chunk_sectors = std::max<std::uint64_t>(1, zero_chunk_bytes / sector_bytes);
    // A sector larger than the chunk gets a buffer of its own.
    const std::vector<std::uint8_t> large_sector(sector_bytes > zero_chunk_bytes ? sector_bytes : 0, 0);
    const std::span<const std::uint8_t> zeros = large_sector.empty() ? zero_chunk() : large_sector;
    while (count_sectors > 0) {
        const std::uint64_t sectors = std::min(chunk_sectors, count_sectors);
        const auto buffer = zeros.first(static_cast<std::size_t>(sectors * sector_bytes));
        if (const IoResult result = write(first_sector, buffer); result != IoResult::ok) {
            return result;
        }
        first_sector += sectors;
        count_sectors -= sectors;
    }
    return IoResult::ok;
}

}  // namespace trellan
