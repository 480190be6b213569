// The clock reading and volume serial a format writes, passed in so that the
// same inputs produce the same bytes (tests compare images).
#pragma once

#include <cstdint>

namespace trellan {

struct FormatStamp {
    std::uint16_t year = 1980;  // full year, 1980..2107
    std::uint8_t month = 1;     // 1..12
    std::uint8_t day = 1;       // 1..31
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t hundredths = 0;
    std::uint32_t volume_serial = 0;
    std::uint32_t disk_signature = 0;  // MBR disk signature; non-zero
};

// The DOS-style volume ID of a format at this time: high word (hour:minute)
// plus the year, low word (month:day) plus (second:hundredths).
std::uint32_t dos_volume_serial(const FormatStamp& stamp);

// The stamp for "now" from the host clock, with serial and signature derived from it.
FormatStamp current_format_stamp();

}  // namespace trellan
