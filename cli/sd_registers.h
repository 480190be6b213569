// The registers an SD or MMC card in a native slot gives the kernel, as
// sysfs shows them (hex digits, most significant first), decoded: the CID
// names the card's maker and product, the CSD its capacity, the SD Status
// register (SSR) the speed classes the card claims.
#pragma once

#include "cli/card_identity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class CardBus { sd, mmc };

// nullopt for anything but 32 hex digits.
std::optional<CardRegisters> DecodeCid(std::string_view hex, CardBus bus);

// The capacity the CSD gives; nullopt where it is not 32 hex digits or
// leaves the capacity to another register (an MMC card over 2 GB).
std::optional<std::uint64_t> CsdCapacityBytes(std::string_view hex, CardBus bus);

// The classes the SSR (128 hex digits) claims, in the order C, U, V, A:
// "C10", "U3", "V30", "A2"; empty for none or anything but 128 hex digits.
std::vector<std::string> SsrClaimedClasses(std::string_view hex);
