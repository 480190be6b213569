// Who made the card, as far as the system can tell: an SD or MMC card in a
// native slot names itself in its CID register and gives its capacity in
// its CSD; a USB reader names only itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CardRegisters {
    std::uint8_t manufacturerId = 0;
    std::string oemId;        // two characters on SD, one byte (as hex) on MMC
    std::string productName;  // five characters on SD, six on MMC
    std::string revision;     // "8.6"
    std::uint32_t serialNumber = 0;
    int manufactureYear = 0;
    int manufactureMonth = 0;
};

struct CardIdentity {
    std::string bus;  // "SD", "MMC" (a native slot) or "USB" (a reader)
    std::optional<CardRegisters> cid;
    std::optional<std::uint64_t> csdCapacityBytes;  // nullopt where the CSD does not give it
    std::vector<std::string> claimedClasses;        // from the SD Status register: C10, U3, V30, A2
    std::string readerVendor;                       // a USB reader's, as it names itself
    std::string readerModel;
    std::optional<std::uint64_t> deviceBytes;  // the length the system gives the device
};
