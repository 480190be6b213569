#include "memory_device.h"

#include <algorithm>

namespace trellan {
namespace {

constexpr std::uint64_t chunk_bytes = 1 << 20;

}  // namespace

MemoryDevice::MemoryDevice(std::uint64_t length_sectors, std::uint32_t sector_size_bytes)
    : length_sectors_(length_sectors), sector_size_bytes_(sector_size_bytes)
{
}

void MemoryDevice::fail_write(std::size_t write_number)
{
    failing_write_call_ = write_number == 0 ? 0 : write_calls_ + write_number;
}

std::vector<std::uint8_t> MemoryDevice::bytes(std::uint64_t first_sector, std::uint64_t count_sectors) const
{
    std::vector<std::uint8_t> result(static_cast<std::size_t>(count_sectors * sector_size_bytes_));
    copy_out(first_sector * sector_size_bytes_, result);
    return result;
}

IoResult MemoryDevice::read(std::uint64_t first_sector, std::span<std::uint8_t> buffer)
{
    if (buffer.size() % sector_size_bytes_ != 0 || first_sector > length_sectors_ ||
        buffer.size() / sector_size_bytes_ > length_sectors_ - first_sector) {
        return IoResult::out_of_range;
    }
    copy_out(first_sector * sector_size_bytes_, buffer);
    return IoResult::ok;
}

IoResult MemoryDevice::write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer)
{
    if (buffer.size() % sector_size_bytes_ != 0) {
        return IoResult::out_of_range;
    }
    const std::uint64_t count_sectors = buffer.size() / sector_size_bytes_;
    if (const IoResult admitted = admit_write(first_sector, count_sectors); admitted != IoResult::ok) {
        return admitted;
    }
    copy_in(first_sector * sector_size_bytes_, buffer);
    written_ranges_.push_back({first_sector, count_sectors, false});
    return IoResult::ok;
}

IoResult MemoryDevice::write_zeros(std::uint64_t first_sector, std::uint64_t count_sectors)
{
    if (const IoResult admitted = admit_write(first_sector, count_sectors); admitted != IoResult::ok) {
        return admitted;
    }
    zero(first_sector * sector_size_bytes_, count_sectors * sector_size_bytes_);
    written_ranges_.push_back({first_sector, count_sectors, true});
    return IoResult::ok;
}

IoResult MemoryDevice::admit_write(std::uint64_t first_sector, std::uint64_t count_sectors)
{
    ++write_calls_;
    if (read_only_ || write_calls_ == failing_write_call_) {
        return IoResult::io_error;
    }
    if (first_sector > length_sectors_ || count_sectors > length_sectors_ - first_sector) {
        return IoResult::out_of_range;
    }
    return IoResult::ok;
}

void MemoryDevice::copy_out(std::uint64_t first_byte, std::span<std::uint8_t> destination) const
{
    std::size_t done = 0;
    while (done < destination.size()) {
        const std::uint64_t position = first_byte + done;
        const std::uint64_t offset = position % chunk_bytes;
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk_bytes - offset, destination.size() - done));
        const auto chunk = chunks_.find(position / chunk_bytes);
        if (chunk == chunks_.end()) {
            std::fill_n(destination.begin() + done, count, std::uint8_t{0});
        } else {
            std::copy_n(chunk->second.begin() + offset, count, destination.begin() + done);
        }
        done += count;
    }
}

void MemoryDevice::copy_in(std::uint64_t first_byte, std::span<const std::uint8_t> source)
{
    std::size_t done = 0;
    while (done < source.size()) {
        const std::uint64_t position = first_byte + done;
        const std::uint64_t offset = position % chunk_bytes;
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk_bytes - offset, source.size() - done));
        std::vector<std::uint8_t>& chunk = chunks_[position / chunk_bytes];
        chunk.resize(chunk_bytes);
        std::copy_n(source.begin() + done, count, chunk.begin() + offset);
        done += count;
    }
}

void MemoryDevice::zero(std::uint64_t first_byte, std::uint64_t count_bytes)
{
    const std::uint64_t end_byte = first_byte + count_bytes;
    // Only chunks already holding bytes need work; the rest read as zeros.
    auto chunk = chunks_.lower_bound(first_byte / chunk_bytes);
    while (chunk != chunks_.end() && chunk->first * chunk_bytes < end_byte) {
        const std::uint64_t chunk_start = chunk->first * chunk_bytes;
        const std::uint64_t from = std::max(first_byte, chunk_start) - chunk_start;
        const std::uint64_t to = std::min(end_byte, chunk_start + chunk_bytes) - chunk_start;
        if (from == 0 && to == chunk_bytes) {
            chunk = chunks_.erase(chunk);
            continue;
        }
        std::fill(chunk->second.begin() + from, chunk->second.begin() + to, std::uint8_t{0});
        ++chunk;
    }
}

}  // namespace trellan
