// The identification byte of a volume, as Trellan_ProbeDevice reports it and
// as the builders check it before they touch the card: one set of rules, so
// that no builder formats what the probe hides.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace trellan {

// Nullopt when the storage stack does not describe the device; a system
// drive is never_offer whatever the stack says.
std::optional<std::uint8_t> identify_device(char letter, HANDLE volume);

// Whether that answer hides the drive from the drive list.
bool is_never_offered(std::optional<std::uint8_t> identity);

}  // namespace trellan
