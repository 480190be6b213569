#include "trellan/block_device.h"

#include <algorithm>
#include <vector>

namespace trellan {

IoResult BlockDevice::write_zeros(std::uint64_t first_sector, std::uint64_t count_sectors)
{
    // 1 MiB per write: large enough that the device, not the call count,
    // sets the pace, small enough to allocate on any host.
    constexpr std::uint64_t chunk_bytes = 1 << 20;
    const std::uint64_t sector_bytes = sector_size_bytes();
    if (sector_bytes == 0) {
        return IoResult::io_error;
    }
    const std::uint64_t chunk_sectors = std::max<std::uint64_t>(1, chunk_bytes / sector_bytes);
    const std::vector<std::uint8_t> zeros(
        static_cast<std::size_t>(std::min(chunk_sectors, count_sectors) * sector_bytes));
    while (count_sectors > 0) {
        const std::uint64_t sectors = std::min(chunk_sectors, count_sectors);
        const std::span<const std::uint8_t> buffer(zeros.data(), static_cast<std::size_t>(sectors * sector_bytes));
        if (const IoResult result = write(first_sector, buffer); result != IoResult::ok) {
            return result;
        }
        first_sector += sectors;
        count_sectors -= sectors;
    }
    return IoResult::ok;
}

}  // namespace trellan
