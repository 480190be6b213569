// Reads and writes of whole blocks on the card for the health checks, past
// the page cache: a read that the cache answered would show what was sent to
// the card, not what the card kept. They go through the claim's one open of
// the card, with direct I/O set on it while the access lasts.
#pragma once

#include "cli/card_blocks.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class CardAccess final : public CardBlocks {
public:
    // descriptor: the claim's, open for writing.
    explicit CardAccess(int descriptor);
    ~CardAccess() override;
    CardAccess(const CardAccess&) = delete;
    CardAccess& operator=(const CardAccess&) = delete;

    // Buffers from NewAlignedBuffer().
    bool Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) override;
    void Settle() override;

    std::string DeviceFault() const override { return deviceFault_; }

private:
    // offsetBytes: where the failed transfer began; nullopt for a flush.
    void RecordFault(int error, std::optional<std::uint64_t> offsetBytes);

    int descriptor_;
    int flags_;  // as the claim opened it, given back at the end
    std::string deviceFault_;
};
