// The card behind a drive letter, opened for a format: the whole card,
// claimed, with every volume on it locked and dismounted for the whole
// format (platform's CardSession); or, called inside the program's own
// session for that card on the same thread, that session's card.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/card_session.h"
#include "trellan/block_device.h"
#include "trellan/exfat_oem_parameters.h"

namespace trellan {

class Win32CardDevice final : public BlockDevice {
public:
    // Null, with nothing locked, dismounted or written, when the letter is
    // not a removable drive, is a drive the probe hides (the Windows or a
    // page-file disk), holds no card, or is one partition of a card whose
    // disk cannot be reached; null too when another format holds the card
    // or a volume on it is in use and cannot be locked.
    static std::unique_ptr<Win32CardDevice> open(char letter);

    std::uint32_t sector_size_bytes() const override { return sector_size_bytes_; }
    std::uint64_t length_sectors() const override { return length_sectors_; }
    IoResult read(std::uint64_t first_sector, std::span<std::uint8_t> buffer) override;
    IoResult write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer) override;
    IoResult flush() override;
    // After the build: the card back to the system, which must show the
    // layout written (CardSession::GiveBack); false when it still shows
    // another.
    bool give_back();

    // The flash-parameters record the format this device joined read before
    // its first write; nullopt outside such a format.
    std::optional<ExfatOemSector> kept_oem_parameters() const;

private:
    Win32CardDevice() = default;
    bool within(std::uint64_t first_sector, std::uint64_t count_sectors) const;

    CardSession session_;
    std::uint32_t sector_size_bytes_ = 512;
    std::uint64_t length_sectors_ = 0;
};

}  // namespace trellan
