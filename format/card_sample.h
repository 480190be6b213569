// What tells the card in a reader from another of the same size: its length,
// the system's count of media changes where the device keeps one, and the
// bytes of its first and last MiB (two cards of one make and size differ
// there, in the MBR's disk signature and the volume serial at least).
#pragma once

#include "drives/raw_volume.h"

#include <cstdint>
#include <optional>
#include <vector>

inline constexpr std::uint64_t kSampledBytes = std::uint64_t{1} << 20;

struct CardSample {
    std::uint64_t lengthBytes = 0;
    std::optional<std::uint32_t> mediaChangeCount;
    std::vector<std::uint8_t> head;  // from offset 0
    std::uint64_t tailOffsetBytes = 0;
    std::vector<std::uint8_t> tail;  // whole sectors up to the card's last

    bool operator==(const CardSample&) const = default;

    // The sample as the card reads once these bytes are zeros: what a
    // job's own writes make of it.
    void Zero(std::uint64_t offsetBytes, std::uint64_t lengthBytes);
};

// nullopt when the card has no length or its sampled sectors cannot be read.
// The new sample takes the memory of `reuse`, whose bytes it overwrites:
// fresh memory costs its page faults, 6 to 9 ms under Wine.
std::optional<CardSample> SampleCard(RawVolume& volume, std::uint32_t bytesPerSector, CardSample reuse = {});

// Whether the card in the reader is `expected`: where the reader counts
// media changes, its length and that count decide (Windows writes to a
// mounted card by itself, so its bytes may change with no other card in
// the reader); where it keeps none, its length and the sampled bytes. Read
// a piece at a time into one small buffer: a sample's two fresh MiB cost
// their page faults, 6 to 9 ms under Wine, for every look.
enum class SampleMatch { same, different, unreadable };
SampleMatch CompareWithSample(RawVolume& volume, const CardSample& expected);
bool CardMatchesSample(RawVolume& volume, const CardSample& expected);

// The card in the drive now, opened for the sample and closed again, in the
// sectors its geometry gives; nullopt when no card answers.
std::optional<CardSample> SampleCardIn(RawVolumeOpener& volumes, char driveLetter);
