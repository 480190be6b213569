// The only way out of the portable core: whole-sector I/O on a card.
// Win32 volumes, POSIX files and block devices, and the tests' memory device
// implement it.
#pragma once

#include <cstdint>
#include <span>

namespace trellan {

enum class IoResult { ok, out_of_range, io_error };

class BlockDevice {
public:
    virtual ~BlockDevice() = default;

    virtual std::uint32_t sector_size_bytes() const = 0;
    virtual std::uint64_t length_sectors() const = 0;

    // buffer size is a whole number of sectors; never reaches past the end.
    virtual IoResult read(std::uint64_t first_sector, std::span<std::uint8_t> buffer) = 0;
    virtual IoResult write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer) = 0;
    virtual IoResult flush() = 0;

    // Zeroes count_sectors sectors from first_sector. The default writes zero
    // buffers of 1 MiB; a device that can do it without moving the bytes (a
    // hole in an image file) overrides it.
    virtual IoResult write_zeros(std::uint64_t first_sector, std::uint64_t count_sectors);

    // A device known to refuse writes (a read-only image, a locked card) says
    // so up front, so that a format can fail before it touches anything.
    virtual bool is_read_only() const { return false; }
};

}  // namespace trellan
