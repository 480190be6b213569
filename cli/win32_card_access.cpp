#include "cli/win32_card_access.h"

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

// The checks move at most 1 MiB at once: a transfer's length fits a DWORD.
bool Win32CardAccess::Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes)
{
    const auto size = static_cast<DWORD>(bytes.size());
    return session_.Write(offsetBytes, bytes.data(), size) == size;
}

std::size_t Win32CardAccess::Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes)
{
    // Unbuffered reads past the end fail whole rather than come up short.
    const std::optional<std::uint64_t> length = session_.Length();
    if (!length || offsetBytes >= *length) {
        return 0;
    }
    const auto size = static_cast<DWORD>(std::min<std::uint64_t>(bytes.size(), *length - offsetBytes));
    return session_.Read(offsetBytes, bytes.data(), size) == size ? size : 0;
}

void Win32CardAccess::Settle()
{
    // Nothing is cached for reads; the card's own write cache is flushed.
    session_.Flush();
}
