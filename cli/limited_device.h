// A card's first bytes as a card of their own: the builders lay a file system
// out for the capacity a card really has when it reports more.
#pragma once

#include "trellan/block_device.h"

#include <algorithm>
#include <memory>

class LengthLimitedDevice final : public trellan::BlockDevice {
public:
    LengthLimitedDevice(std::unique_ptr<trellan::BlockDevice> device, std::uint64_t lengthBytes)
        : device_(std::move(device)),
          lengthSectors_(std::min(device_->length_sectors(), lengthBytes / device_->sector_size_bytes()))
    {
    }

    std::uint32_t sector_size_bytes() const override { return device_->sector_size_bytes(); }
    std::uint64_t length_sectors() const override { return lengthSectors_; }
    trellan::IoResult read(std::uint64_t firstSector, std::span<std::uint8_t> buffer) override
    {
        return Within(firstSector, buffer.size()) ? device_->read(firstSector, buffer)
                                                  : trellan::IoResult::out_of_range;
    }
    trellan::IoResult write(std::uint64_t firstSector, std::span<const std::uint8_t> buffer) override
    {
        return Within(firstSector, buffer.size()) ? device_->write(firstSector, buffer)
                                                  : trellan::IoResult::out_of_range;
    }
    trellan::IoResult write_zeros(std::uint64_t firstSector, std::uint64_t countSectors) override
    {
        return firstSector <= lengthSectors_ && countSectors <= lengthSectors_ - firstSector
                   ? device_->write_zeros(firstSector, countSectors)
                   : trellan::IoResult::out_of_range;
    }
    trellan::IoResult flush() override { return device_->flush(); }
    bool is_read_only() const override { return device_->is_read_only(); }

private:
    bool Within(std::uint64_t firstSector, std::size_t bytes) const
    {
        const std::uint64_t sectors = bytes / sector_size_bytes();
        return firstSector <= lengthSectors_ && sectors <= lengthSectors_ - firstSector;
    }

    std::unique_ptr<trellan::BlockDevice> device_;
    std::uint64_t lengthSectors_;
};
