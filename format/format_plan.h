// The decisions of one format job: the size class from the capacity
// estimate, the builder by card type and class, the erase plan, and the
// exFAT warning. Pure arithmetic on the job's inputs and the geometry.
#pragma once

#include "cards/card_types.h"
#include "drives/disk_geometry.h"
#include "format/erase_modes.h"

#include <cstdint>
#include <optional>
#include <string_view>

// Size classes are decided on whole MiB of the estimate. Above 32 GiB plus
// 128 MiB a card is large (exFAT for SD); above 2 GiB plus 40 MiB it is mid
// (FAT32 for SD and MMC). The margins absorb the estimate's overshoot of one
// cylinder and one track per cylinder, so nominal 32 GB and 2 GB cards stay
// in the lower class.
inline constexpr std::uint64_t kMebibyteBytes = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kLargeAboveMebibytes = 32'896;
inline constexpr std::uint64_t kMidAboveMebibytes = 2'088;

// (cylinders + 1) x (tracks per cylinder + 1) x sectors per track x bytes
// per sector: the job's estimate, larger than the displayed capacity.
// nullopt for negative cylinders or a product beyond 64 bits.
std::optional<std::uint64_t> CapacityEstimateBytes(const DiskGeometry& geometry);

SizeClass SizeClassOf(std::uint64_t estimateBytes);

// The card type's builder for its size class; nullopt when no card type is chosen.
std::optional<trellan::Builder> ChooseBuilder(CardType cardType, SizeClass sizeClass);

// The erase pass: every 512 KiB block (the mode's share of it), then the
// bytes behind the last whole block in whole sectors.

struct ErasePlan {
    std::uint32_t bytesPerBlock = 0;  // 0: no erase pass
    std::uint64_t blockCount = 0;     // also the progress bar's upper bound
    std::uint64_t tailSectorCount = 0;
    std::uint32_t bytesPerSector = 0;

    bool erases() const { return bytesPerBlock != 0; }
    std::uint64_t BlockOffsetBytes(std::uint64_t block) const { return block * kEraseBlockStepBytes; }
    std::uint64_t TailSectorOffsetBytes(std::uint64_t sector) const
    {
        return blockCount * kEraseBlockStepBytes + sector * bytesPerSector;
    }
};

// extentBytes: how much of the device the pass covers.
ErasePlan PlanErase(EraseMode mode, std::uint64_t extentBytes, std::uint32_t bytesPerSector);

// The Yes/No warning for an SD card of the large class on a system that
// cannot read exFAT; nullopt for answers that need no warning.
std::optional<std::string_view> ExFatWarningText(int probeAnswer);
