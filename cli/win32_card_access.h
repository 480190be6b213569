// The health checks' reads and writes on the card behind a drive letter,
// past the system's cache: unbuffered and written through, in whole
// sectors from aligned buffers, so that a read shows what the card kept.
#pragma once

#include "cli/card_blocks.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

class Win32CardAccess final : public CardBlocks {
public:
    enum class Use {
        // The capacity check: its volume locked and taken from its file
        // system, so that raw writes reach every sector.
        readWrite,
        // The read-back of the erase, inside the format job.
        readOnly,
    };
    enum class Opening {
        opened,
        writeProtected,  // the card, or the system, refuses writes: the job reports it
        inUse,           // another program holds the volume; nothing was written
        failed,
    };

    // nullptr unless opened; problem says why, for a person.
    static std::unique_ptr<Win32CardAccess> Open(char driveLetter, Use use, Opening& opening, std::string& problem);
    ~Win32CardAccess() override;
    Win32CardAccess(const Win32CardAccess&) = delete;
    Win32CardAccess& operator=(const Win32CardAccess&) = delete;

    std::uint64_t LengthBytes() const { return lengthBytes_; }

    // Buffers from NewAlignedBuffer(), offsets and sizes in whole sectors.
    bool Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) override;
    void Settle() override;

private:
    Win32CardAccess(HANDLE handle, std::uint64_t lengthBytes) : handle_(handle), lengthBytes_(lengthBytes) {}

    HANDLE handle_;
    std::uint64_t lengthBytes_;  // as the card reported it when opened
};
