#include "trellan/win32/probe_identity.h"

#include <gtest/gtest.h>

namespace trellan {
namespace {

TEST(ProbeIdentity, LowNibbleNamesTheBusAndOnlySystemDevicesGetC)
{
    const struct {
        int bus;
        bool removable;
        bool system;
        std::uint8_t byte;
    } rows[] = {
        {storage_bus::sd, true, false, 0x11},
        {storage_bus::mmc, true, false, 0x12},
        {storage_bus::usb, true, false, 0x13},
        {storage_bus::usb, false, false, 0x03},
        {storage_bus::ata, false, false, 0x04},
        {storage_bus::sata, true, false, 0x14},
        {storage_bus::atapi, true, false, 0x14},
        {storage_bus::unknown, false, false, 0x00},
        {10, false, false, 0x05},              // SAS
        {0x7F, true, false, 0x15},             // a bus added later
        {storage_bus::usb, true, true, 0x0C},  // system disk on USB
        {storage_bus::sata, false, true, 0x0C},
    };
    for (const auto& row : rows) {
        const std::uint8_t byte = probe_identity_byte(row.bus, row.removable, row.system);
        EXPECT_EQ(byte, row.byte) << row.bus;
        EXPECT_EQ((byte & 0x0F) == 0x0C, row.system) << row.bus;
    }
}

}  // namespace
}  // namespace trellan
