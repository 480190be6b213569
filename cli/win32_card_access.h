// The health checks' reads and writes on the card behind a drive letter,
// through the program's card session opened past the system's cache:
// unbuffered and written through, in whole sectors from aligned buffers,
// so that a read shows what the card kept. On Windows the volume is one
// partition and locks exclude: only the session reaches the whole card,
// and only the session that holds it reads while a format holds it.
#pragma once

#include "cli/card_blocks.h"
#include "platform/card_session.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class Win32CardAccess final : public CardBlocks {
public:
    // The whole card, claimed and its volumes locked until this is
    // destroyed; nullptr, with nothing held or written, on a refusal. On the
    // thread that already holds the card (the format job, inside the
    // command line's hold), joins that hold: the format job and Trellan.dll
    // likewise join a hold taken here, so nothing else reaches the card
    // between the check and the format.
    static std::unique_ptr<Win32CardAccess> Open(char driveLetter, CardRefusal& refusal);

    // The card's length, within any limit; nullopt when it does not answer.
    std::optional<std::uint64_t> LengthBytes() { return session_.Length(); }
    // From now on the card, for this hold and every session that joins it,
    // ends at lengthBytes: its real capacity, when it reports more.
    void LimitLength(std::uint64_t lengthBytes) { session_.LimitLength(lengthBytes); }

    // Buffers from NewAlignedBuffer(), offsets and sizes in whole sectors.
    bool Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) override;
    void Settle() override;
    std::string DeviceFault() const override { return deviceFault_; }

    // After the job: gives the card back (CardSession::GiveBack); false
    // when Windows still shows the card's old layout.
    bool GiveBack() { return session_.GiveBack(); }

private:
    Win32CardAccess() = default;
    // The first failure, by the error the system gave; offsetBytes: where
    // the failed transfer began, nullopt for a flush.
    void RecordFault(std::optional<std::uint64_t> offsetBytes);

    CardSession session_;
    std::string deviceFault_;
};
