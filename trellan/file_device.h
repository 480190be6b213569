// A BlockDevice over an image file or a Linux block device (POSIX). It never
// grows a file: its length is fixed when it is opened, and a write beyond it
// fails like one beyond the end of a card; so does a write beyond the end of
// a file cut short since, even while the write is in flight.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
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
    // Over a descriptor that stays its owner's: a program that has opened
    // the card once writes through that one open. Read-only when the
    // descriptor was opened so.
    static std::unique_ptr<FileDevice> over(int descriptor, OpenFailure& failure);
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

    // Why the last write that failed did (errno; ENXIO for a card cut short
    // under it), and its first sector; error 0 until one fails.
    int last_write_error() const { return last_write_error_; }
    std::uint64_t last_failed_sector() const { return last_failed_sector_; }

private:
    enum class Ownership { owned, borrowed };
    static std::unique_ptr<FileDevice> measure(int descriptor, bool read_only, Ownership ownership,
                                               OpenFailure& failure);
    FileDevice(int descriptor, bool read_only, Ownership ownership, bool regular_file, std::uint32_t sector_size_bytes,
               std::uint64_t length_sectors);
    bool within(std::uint64_t first_sector, std::uint64_t count_sectors) const;
    IoResult failed_write(std::uint64_t first_sector, int error);

    int descriptor_;
    bool read_only_;
    Ownership ownership_;
    bool regular_file_;
    int last_write_error_ = 0;
    std::uint64_t last_failed_sector_ = 0;
    std::uint32_t sector_size_bytes_;
    std::uint64_t length_sectors_;
};

// One line for a person: why the open failed.
const char* describe(OpenFailure failure);

// Writes all of bytes at offset_bytes, and only within what the file or
// device holds now: an image cut short since it was opened (a pulled card)
// is never grown back, not even by a write it is cut under, which takes
// back what it added. 0 when every byte was written, else the errno: ENXIO
// when the card is shorter than the write needs, or was cut meanwhile.
int write_in_place(int descriptor, std::uint64_t offset_bytes, std::span<const std::uint8_t> bytes);

}  // namespace trellan
