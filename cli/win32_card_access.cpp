#include "cli/win32_card_access.h"

#include "drives/raw_volume_win32.h"
#include "format/format_job.h"

#include <algorithm>

std::unique_ptr<Win32CardAccess> Win32CardAccess::Open(char driveLetter, CardRefusal& refusal)
{
    std::unique_ptr<Win32CardAccess> card(new Win32CardAccess());
    if (!card->session_.Open(driveLetter, CardCache::bypassed)) {
        refusal = CardRefusal::noCard;
        return nullptr;
    }
    refusal = card->session_.Claim();
    return refusal == CardRefusal::none ? std::move(card) : nullptr;
}

void Win32CardAccess::RecordFault(std::optional<std::uint64_t> offsetBytes)
{
    const DWORD error = GetLastError();
    if (deviceFault_.empty()) {
        deviceFault_ = std::string(WriteFailureReason(WriteFailureOf(error))) +
                       (offsetBytes ? " (at sector " + std::to_string(*offsetBytes / 512) + ")" : std::string());
    }
}

// The checks move at most 1 MiB at once: a transfer's length fits a DWORD.
bool Win32CardAccess::Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes)
{
    const auto size = static_cast<DWORD>(bytes.size());
    if (session_.Write(offsetBytes, bytes.data(), size) != size) {
        RecordFault(offsetBytes);
        return false;
    }
    return true;
}

std::size_t Win32CardAccess::Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes)
{
    // Unbuffered reads past the end fail whole rather than come up short.
    const std::optional<std::uint64_t> length = session_.Length();
    if (!length) {
        RecordFault(offsetBytes);
        return 0;
    }
    if (offsetBytes >= *length) {
        return 0;
    }
    const auto size = static_cast<DWORD>(std::min<std::uint64_t>(bytes.size(), *length - offsetBytes));
    if (session_.Read(offsetBytes, bytes.data(), size) != size) {
        RecordFault(offsetBytes);
        return 0;
    }
    return size;
}

void Win32CardAccess::Settle()
{
    // Nothing is cached for reads; the card's own write cache is flushed.
    if (!session_.Flush()) {
        RecordFault(std::nullopt);
    }
}
