// Reads and writes of whole blocks on the card for the health checks, past
// the page cache: a read that the cache answered would show what was sent to
// the card, not what the card kept.
#pragma once

#include "cli/card_blocks.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

class CardAccess final : public CardBlocks {
public:
    // nullptr with problem set when the path cannot be opened for writing.
    static std::unique_ptr<CardAccess> Open(const std::string& path, std::string& problem);
    ~CardAccess() override;
    CardAccess(const CardAccess&) = delete;
    CardAccess& operator=(const CardAccess&) = delete;

    // Buffers from NewAlignedBuffer().
    bool Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) override;
    void Settle() override;

private:
    explicit CardAccess(int descriptor) : descriptor_(descriptor) {}

    int descriptor_;
};
