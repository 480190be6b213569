#include "trellan/format_stamp.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace trellan {
namespace {

std::tm local_time(std::time_t seconds)
{
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &seconds);
#else
    localtime_r(&seconds, &parts);
#endif
    return parts;
}

// splitmix64's finaliser: spreads the clock's nanoseconds over all 32 bits,
// so two cards formatted within the same second get different signatures.
std::uint32_t mix_to_32_bits(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15u;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9u;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBu;
    value ^= value >> 31;
    return static_cast<std::uint32_t>(value ^ (value >> 32));
}

}  // namespace

std::uint32_t dos_volume_serial(const FormatStamp& stamp)
{
    const std::uint32_t high = ((std::uint32_t{stamp.hour} << 8) | stamp.minute) + stamp.year;
    const std::uint32_t low =
        ((std::uint32_t{stamp.month} << 8) | stamp.day) + ((std::uint32_t{stamp.second} << 8) | stamp.hundredths);
    return (high & 0xFFFF) << 16 | (low & 0xFFFF);
}

FormatStamp current_format_stamp()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto since_epoch = now.time_since_epoch();
    const std::tm parts = local_time(system_clock::to_time_t(now));
    const auto millis = duration_cast<milliseconds>(since_epoch).count() % 1000;

    FormatStamp stamp;
    // FAT dates count years from 1980 in 7 bits.
    stamp.year = static_cast<std::uint16_t>(std::clamp(parts.tm_year + 1900, 1980, 2107));
    stamp.month = static_cast<std::uint8_t>(parts.tm_mon + 1);
    stamp.day = static_cast<std::uint8_t>(parts.tm_mday);
    stamp.hour = static_cast<std::uint8_t>(parts.tm_hour);
    stamp.minute = static_cast<std::uint8_t>(parts.tm_min);
    // tm_sec reaches 60 on a leap second; FAT times stop at 59.
    stamp.second = static_cast<std::uint8_t>(std::min(parts.tm_sec, 59));
    stamp.hundredths = static_cast<std::uint8_t>((millis < 0 ? 0 : millis) / 10);
    stamp.volume_serial = dos_volume_serial(stamp);
    const std::uint32_t signature =
        mix_to_32_bits(static_cast<std::uint64_t>(duration_cast<nanoseconds>(since_epoch).count()));
    stamp.disk_signature = signature != 0 ? signature : 1;
    return stamp;
}

}  // namespace trellan
