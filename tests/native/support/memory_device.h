// A BlockDevice in memory for tests. It records every write
// range, can be told to fail a given write or to refuse all writes, and keeps
// only the 1 MiB chunks that were written, so a 2 TiB card costs no more than
// the bytes a format puts on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "trellan/block_device.h"

namespace trellan {

class MemoryDevice final : public BlockDevice {
public:
    struct WrittenRange {
        std::uint64_t first_sector;
        std::uint64_t count_sectors;
        bool zeros;  // came from write_zeros
        bool operator==(const WrittenRange&) const = default;
    };

    explicit MemoryDevice(std::uint64_t length_sectors, std::uint32_t sector_size_bytes = 512);

    // The write_number-th write call from now on (1 = the next one; write and
    // write_zeros both count) fails with io_error and changes nothing.
    void fail_write(std::size_t write_number);
    void make_read_only() { read_only_ = true; }

    // Copies of stored bytes; sectors never written read as zeros.
    std::vector<std::uint8_t> bytes(std::uint64_t first_sector, std::uint64_t count_sectors = 1) const;
    const std::vector<WrittenRange>& written_ranges() const { return written_ranges_; }
    std::size_t write_calls() const { return write_calls_; }

    std::uint32_t sector_size_bytes() const override { return sector_size_bytes_; }
    std::uint64_t length_sectors() const override { return length_sectors_; }
    IoResult read(std::uint64_t first_sector, std::span<std::uint8_t> buffer) override;
    IoResult write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer) override;
    IoResult write_zeros(std::uint64_t first_sector, std::uint64_t count_sectors) override;
    IoResult flush() override { return IoResult::ok; }
    bool is_read_only() const override { return read_only_; }

private:
    // Counts the call and says whether it may change the contents.
    IoResult admit_write(std::uint64_t first_sector, std::uint64_t count_sectors);
    void copy_out(std::uint64_t first_byte, std::span<std::uint8_t> destination) const;
    void copy_in(std::uint64_t first_byte, std::span<const std::uint8_t> source);
    void zero(std::uint64_t first_byte, std::uint64_t count_bytes);

    std::uint64_t length_sectors_;
    std::uint32_t sector_size_bytes_;
    bool read_only_ = false;
    std::size_t write_calls_ = 0;
    std::size_t failing_write_call_ = 0;                         // 0 = none
    std::map<std::uint64_t, std::vector<std::uint8_t>> chunks_;  // by chunk index
    std::vector<WrittenRange> written_ranges_;
};

}  // namespace trellan
