// The identification byte of Trellan_ProbeDevice (values in trellan/trellan.h),
// from what the storage stack reports. No Windows types: bus numbers are the
// STORAGE_BUS_TYPE values.
#pragma once

#include <cstdint>

namespace trellan {

namespace probe_identity {
inline constexpr std::uint8_t unknown_bus = 0x0;
inline constexpr std::uint8_t sd_host = 0x1;
inline constexpr std::uint8_t mmc_host = 0x2;
inline constexpr std::uint8_t usb = 0x3;
inline constexpr std::uint8_t ata = 0x4;
inline constexpr std::uint8_t other_bus = 0x5;
inline constexpr std::uint8_t never_offer = 0xC;
// The low nibble says what the device is; the bits above it are flags.
inline constexpr std::uint8_t kind_mask = 0x0F;
inline constexpr std::uint8_t removable_media = 0x10;
}  // namespace probe_identity

namespace storage_bus {
inline constexpr int unknown = 0;
inline constexpr int atapi = 2;
inline constexpr int ata = 3;
inline constexpr int usb = 7;
inline constexpr int sata = 11;
inline constexpr int sd = 12;
inline constexpr int mmc = 13;
}  // namespace storage_bus

constexpr std::uint8_t probe_identity_byte(int bus_type, bool removable_media, bool system_device)
{
    if (system_device) {
        return probe_identity::never_offer;
    }
    std::uint8_t kind = probe_identity::other_bus;
    switch (bus_type) {
    case storage_bus::unknown:
        kind = probe_identity::unknown_bus;
        break;
    case storage_bus::sd:
        kind = probe_identity::sd_host;
        break;
    case storage_bus::mmc:
        kind = probe_identity::mmc_host;
        break;
    case storage_bus::usb:
        kind = probe_identity::usb;
        break;
    case storage_bus::atapi:
    case storage_bus::ata:
    case storage_bus::sata:
        kind = probe_identity::ata;
        break;
    default:
        break;
    }
    return static_cast<std::uint8_t>(kind | (removable_media ? probe_identity::removable_media : 0));
}

}  // namespace trellan
