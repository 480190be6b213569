// A BlockDevice over an image file or a Linux block device (POSIX). It never
// grows a file: its length is fixed when it is opened, and a write beyond it
// fails like one beyond the end of a card; so does a write beyond the end of
// a file cut short since.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "trellan/block_device.h"

namespace trellan {

enum class OpenFailure { none, not_found, not_permitted, not_a_device, io_error };

class FileDevice final : public BlockDevice {
public:
    // Opens read-write, or read-only when the file or the medium permits only
    // that (is_read_only() then says so and every write fails). On failure
    // returns null and sets failure.
    static std::unique_ptr<FileDevice> open(const std::string& path, OpenFailure& failure);
    ~FileDevice() override;
    FileDevice(const FileDevice&) = delete;
    FileDevice& operator=(const FileDevice&) = delete;

    std::uint32_t sector_size_bytes() const override { return sector_size_bytes_; }
    std::uint64_t length_sectors() const override { return length_sectors_; }
    IoResult read(std::uint64_t first_sector, std::span<std::uint8_t> buffer) override;
    IoResult write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer) override;
    // Image files get a hole (reads back as zeros without storing them).
    IoResult write_zeros(std::uint64_t first_sector, std::uint64_t count_sectors) override;
    IoResult flush() override;
    bool is_read_only() const override { return read_only_; }

private:
    FileDevice(int descriptor, bool read_only, bool regular_file, std::uint32_t sector_size_bytes,
               std::uint64_t length_sectors);
    bool within(std::uint64_t first_sector, std::uint64_t count_sectors) const;
    bool still_within(std::uint64_t first_sector, std::uint64_t count_sectors) const;

    int descriptor_;
    bool read_only_;
    bool regular_file_;
    std::uint32_t sector_size_bytes_;
    std::uint64_t length_sectors_;
};

// One line for a person: why the open failed.
const char* describe(OpenFailure failure);

}  // namespace trellan
