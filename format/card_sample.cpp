#include "format/card_sample.h"

#include <algorithm>
#include <span>
#include <utility>

namespace {

// Whole sectors whatever the sector size, and few reads for two MiB.
constexpr std::size_t kComparedPieceBytes = 64 * 1024;

bool ReadWhole(RawVolume& volume, std::uint64_t offsetBytes, std::vector<std::uint8_t>& bytes)
{
    return bytes.empty() || volume.Read(offsetBytes, bytes) == bytes.size();
}

SampleMatch RunMatches(RawVolume& volume, std::uint64_t offsetBytes, std::span<const std::uint8_t> expected,
                       std::vector<std::uint8_t>& piece)
{
    for (std::size_t done = 0; done < expected.size(); done += piece.size()) {
        piece.resize(std::min(kComparedPieceBytes, expected.size() - done));
        if (volume.Read(offsetBytes + done, piece) != piece.size()) {
            return SampleMatch::unreadable;
        }
        if (!std::equal(piece.begin(), piece.end(), expected.begin() + static_cast<std::ptrdiff_t>(done))) {
            return SampleMatch::different;
        }
    }
    return SampleMatch::same;
}

// Zeroes the part of [offset, offset + length) that falls in a sampled run.
void ZeroOverlap(std::uint64_t runOffset, std::vector<std::uint8_t>& run, std::uint64_t offset, std::uint64_t length)
{
    const std::uint64_t begin = std::max(runOffset, offset);
    const std::uint64_t end = std::min(runOffset + run.size(), offset + length);
    if (begin < end) {
        std::fill(run.begin() + static_cast<std::ptrdiff_t>(begin - runOffset),
                  run.begin() + static_cast<std::ptrdiff_t>(end - runOffset), 0);
    }
}

}  // namespace

void CardSample::Zero(std::uint64_t offsetBytes, std::uint64_t lengthBytes)
{
    ZeroOverlap(0, head, offsetBytes, lengthBytes);
    ZeroOverlap(tailOffsetBytes, tail, offsetBytes, lengthBytes);
}

std::optional<CardSample> SampleCard(RawVolume& volume, std::uint32_t bytesPerSector, CardSample reuse)
{
    const std::optional<std::uint64_t> length = volume.LengthBytes();
    if (!length || bytesPerSector == 0) {
        return std::nullopt;
    }
    // Raw reads go in whole sectors: a partial last sector is left out.
    const std::uint64_t wholeBytes = *length / bytesPerSector * bytesPerSector;
    const std::uint64_t sampled = std::min(wholeBytes, kSampledBytes / bytesPerSector * bytesPerSector);
    CardSample sample{
        .lengthBytes = *length,
        .mediaChangeCount = volume.MediaChangeCount(),
        .head = std::move(reuse.head),
        .tailOffsetBytes = wholeBytes - sampled,
        .tail = std::move(reuse.tail),
    };
    sample.head.resize(sampled);
    sample.tail.resize(sampled);
    if (!ReadWhole(volume, 0, sample.head) || !ReadWhole(volume, sample.tailOffsetBytes, sample.tail)) {
        return std::nullopt;
    }
    return sample;
}

SampleMatch CompareWithSample(RawVolume& volume, const CardSample& expected)
{
    if (volume.LengthBytes() != expected.lengthBytes || volume.MediaChangeCount() != expected.mediaChangeCount) {
        return SampleMatch::different;
    }
    if (expected.mediaChangeCount) {
        return SampleMatch::same;
    }
    std::vector<std::uint8_t> piece;
    piece.reserve(kComparedPieceBytes);
    const SampleMatch head = RunMatches(volume, 0, expected.head, piece);
    return head != SampleMatch::same ? head : RunMatches(volume, expected.tailOffsetBytes, expected.tail, piece);
}

bool CardMatchesSample(RawVolume& volume, const CardSample& expected)
{
    return CompareWithSample(volume, expected) == SampleMatch::same;
}

std::optional<CardSample> SampleCardIn(RawVolumeOpener& volumes, char driveLetter)
{
    const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(driveLetter);
    if (!volume) {
        return std::nullopt;
    }
    const std::optional<DiskGeometry> geometry = volume->ReadGeometry();
    return geometry ? SampleCard(*volume, geometry->bytesPerSector) : std::nullopt;
}
