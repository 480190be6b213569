// Whole-block reads and writes on a card, as the health checks make them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class CardBlocks {
public:
    virtual ~CardBlocks() = default;

    // Offsets and sizes in whole 4 KiB blocks.
    // False when the card did not take all the bytes.
    virtual bool Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) = 0;
    // The bytes read: fewer than asked at the end of an image or on an error.
    virtual std::size_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) = 0;
    // Writes what is cached to the card and forgets it, so the reads that
    // follow come from the card.
    virtual void Settle() = 0;
    // The first failure the device itself reported (a full disk under the
    // image, an I/O error), for a person; empty while none. Such a card
    // tells nothing of its capacity.
    virtual std::string DeviceFault() const { return {}; }
};
