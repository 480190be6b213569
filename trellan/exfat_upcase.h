// The up-case table an exFAT volume carries: for every UTF-16 code unit, its
// upper-case form. Names are compared and hashed through it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace trellan {

// Upper case of one code unit, by the case pairs exFAT's recommended table
// holds (Unicode simple mappings of its time, with that table's few oddities
// kept so that the checksum matches what every reader expects).
char16_t exfat_upcase(char16_t unit);

// The table as stored on disk: compressed (FFFFh, n = n code units that map
// to themselves), little-endian, covering 0000h..FFFFh.
std::vector<std::uint8_t> exfat_upcase_table_bytes();

// TableChecksum of the up-case directory entry over the stored bytes.
std::uint32_t exfat_upcase_checksum(std::span<const std::uint8_t> table);

}  // namespace trellan
