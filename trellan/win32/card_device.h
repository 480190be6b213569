// The card behind a drive letter, opened for a format: the volume is locked
// and dismounted for the whole format, and the I/O goes to the whole card
// (its physical drive) when the volume's disk extents prove where it lies,
// else to the volume itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "trellan/block_device.h"

namespace trellan {

class Win32CardDevice final : public BlockDevice {
public:
    // Null, with nothing locked or dismounted, when the letter is not a
    // removable drive, is a drive the probe hides (the Windows or a page-file
    // disk), or holds no card; null too when the volume cannot be opened for
    // writing or is in use and cannot be locked.
    static std::unique_ptr<Win32CardDevice> open(char letter);
    ~Win32CardDevice() override;
    Win32CardDevice(const Win32CardDevice&) = delete;
    Win32CardDevice& operator=(const Win32CardDevice&) = delete;

    std::uint32_t sector_size_bytes() const override { return sector_size_bytes_; }
    std::uint64_t length_sectors() const override { return length_sectors_; }
    IoResult read(std::uint64_t first_sector, std::span<std::uint8_t> buffer) override;
    IoResult write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer) override;
    // Flushes, then has Windows re-read the partition table.
    IoResult flush() override;

    bool is_whole_disk() const { return disk_ != INVALID_HANDLE_VALUE; }

private:
    Win32CardDevice(HANDLE volume, HANDLE disk);
    HANDLE io_handle() const { return is_whole_disk() ? disk_ : volume_; }
    bool within(std::uint64_t first_sector, std::uint64_t count_sectors) const;

    HANDLE volume_;
    HANDLE disk_;
    std::uint32_t sector_size_bytes_ = 512;
    std::uint64_t length_sectors_ = 0;
};

}  // namespace trellan
