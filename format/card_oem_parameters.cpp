#include "format/card_oem_parameters.h"

namespace {

constexpr std::uint32_t kSectorBytes = 512;

// The job's volume as the card library reads a card: read-only, since the
// job writes through its own calls alone.
class VolumeReader final : public trellan::BlockDevice {
public:
    VolumeReader(RawVolume& volume, std::uint64_t lengthBytes) : volume_(volume), lengthBytes_(lengthBytes) {}

    std::uint32_t sector_size_bytes() const override { return kSectorBytes; }
    std::uint64_t length_sectors() const override { return lengthBytes_ / kSectorBytes; }
    trellan::IoResult read(std::uint64_t first_sector, std::span<std::uint8_t> buffer) override
    {
        if (first_sector > length_sectors() || buffer.size() / kSectorBytes > length_sectors() - first_sector) {
            return trellan::IoResult::out_of_range;
        }
        return volume_.Read(first_sector * kSectorBytes, buffer) == buffer.size() ? trellan::IoResult::ok
                                                                                  : trellan::IoResult::io_error;
    }
    trellan::IoResult write(std::uint64_t, std::span<const std::uint8_t>) override
    {
        return trellan::IoResult::io_error;
    }
    trellan::IoResult flush() override { return trellan::IoResult::ok; }
    bool is_read_only() const override { return true; }

private:
    RawVolume& volume_;
    std::uint64_t lengthBytes_;
};

}  // namespace

std::optional<trellan::ExfatOemSector> ReadCardOemParameters(RawVolume& volume, std::uint64_t lengthBytes)
{
    VolumeReader reader(volume, lengthBytes);
    return trellan::read_oem_parameters(reader);
}
