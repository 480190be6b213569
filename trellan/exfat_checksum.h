// The 32-bit checksum exFAT uses for its boot region and its up-case table:
// rotate the running sum right by one bit, then add the next byte.
#pragma once

#include <cstdint>

namespace trellan {

constexpr std::uint32_t exfat_checksum_step(std::uint32_t sum, std::uint8_t byte)
{
    return ((sum >> 1) | (sum << 31)) + byte;
}

}  // namespace trellan
