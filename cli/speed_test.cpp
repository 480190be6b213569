#include "cli/speed_test.h"

#include "cli/aligned_buffer.h"
#include "cli/capacity_probe.h"
#include "cli/card_blocks.h"
#include "cli/progress_display.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kRegions = 64;
// Long enough to pass the write buffers of real cards, a few MiB, and to
// span an allocation unit of the speed classes (up to 16 MiB on a 64 GiB card).
constexpr std::uint64_t kSampleBytes = 16 * kMiB;
constexpr std::uint64_t kTransferBytes = kMiB;
constexpr std::uint64_t kRandomBytes = 4096;
// A few thousand operations on a card that keeps its application class.
constexpr double kRandomSeconds = 2.0;
constexpr std::size_t kBarColumns = 30;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Bytes neither all zero nor repeating, which a card might store cheaply.
void FillNoise(std::span<std::uint8_t> bytes)
{
    std::mt19937_64 noise(0x5eed5eed);
    for (std::size_t at = 0; at + sizeof(std::uint64_t) <= bytes.size(); at += sizeof(std::uint64_t)) {
        const std::uint64_t value = noise();
        std::copy_n(reinterpret_cast<const std::uint8_t*>(&value), sizeof value,
                    bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

class SpeedRun {
public:
    SpeedRun(CardBlocks& card, const SpeedPlan& plan, std::FILE* progress)
        : card_(card), plan_(plan), progress_(progress), buffer_(NewAlignedBuffer(2 * kTransferBytes)),
          bytes_(buffer_.get(), kTransferBytes), readBytes_(buffer_.get() + kTransferBytes, kTransferBytes)
    {
        FillNoise(bytes_);
    }

    SpeedFigures Run()
    {
        figures_.sampleBytes = plan_.sampleBytes;
        for (std::uint64_t r = 0; r < plan_.regionCount; ++r) {
            const std::uint64_t offset = r * plan_.regionBytes;
            const std::uint64_t length = r + 1 == plan_.regionCount ? plan_.cardBytes - offset : plan_.regionBytes;
            figures_.regions.push_back({.offsetBytes = offset, .lengthBytes = length});
        }
        if (!WriteSamples() || !ReadSamples() || !RandomOperations()) {
            figures_.regions.resize(std::min(figures_.regions.size(), measuredRegions_));
        }
        return figures_;
    }

private:
    // Seconds to move one region's sample; nullopt when the card failed.
    std::optional<double> Transfer(std::uint64_t offset, bool write)
    {
        const Clock::time_point start = Clock::now();
        for (std::uint64_t done = 0; done < plan_.sampleBytes; done += kTransferBytes) {
            const std::size_t size = std::min(kTransferBytes, plan_.sampleBytes - done);
            const std::span<std::uint8_t> bytes = write ? bytes_.first(size) : readBytes_.first(size);
            const bool moved =
                write ? card_.Write(offset + done, bytes) : card_.Read(offset + done, bytes) == bytes.size();
            if (!moved) {
                figures_.failedOffset = offset + done;
                return std::nullopt;
            }
        }
        if (write) {
            card_.Settle();
        }
        return std::max(SecondsSince(start), 1e-9);
    }

    bool WriteSamples()
    {
        ProgressDisplay display(progress_, "Measuring write speed", plan_.regionCount * plan_.sampleBytes);
        for (std::uint64_t r = 0; r < plan_.regionCount; ++r) {
            const std::optional<double> seconds = Transfer(figures_.regions[r].offsetBytes, true);
            if (!seconds) {
                return false;
            }
            figures_.regions[r].writeBytesPerSecond = static_cast<double>(plan_.sampleBytes) / *seconds;
            display.Update((r + 1) * plan_.sampleBytes);
        }
        display.Finish("Write speed measured", plan_.regionCount * plan_.sampleBytes);
        return true;
    }

    // The last samples written may still sit in a card's cache: they are
    // read after the first ones, already read, are written once more.
    bool ReadSamples()
    {
        const std::uint64_t cached =
            std::min(plan_.regionCount, (kCardCacheBytes + plan_.sampleBytes - 1) / plan_.sampleBytes);
        const std::uint64_t rewrites = std::min(cached, plan_.regionCount - cached);
        ProgressDisplay display(progress_, "Measuring read speed", plan_.regionCount * plan_.sampleBytes);
        for (std::uint64_t r = 0; r < plan_.regionCount; ++r) {
            if (r == plan_.regionCount - cached) {
                for (std::uint64_t k = 0; k < rewrites; ++k) {
                    if (!Transfer(figures_.regions[k].offsetBytes, true)) {
                        return false;
                    }
                }
            }
            const std::optional<double> seconds = Transfer(figures_.regions[r].offsetBytes, false);
            if (!seconds) {
                measuredRegions_ = r;
                return false;
            }
            figures_.regions[r].readBytesPerSecond = static_cast<double>(plan_.sampleBytes) / *seconds;
            display.Update((r + 1) * plan_.sampleBytes);
        }
        measuredRegions_ = plan_.regionCount;
        display.Finish("Read speed measured", plan_.regionCount * plan_.sampleBytes);
        return true;
    }

    // Operations a second at random 4 KiB blocks of the card.
    std::optional<double> Random(bool write)
    {
        std::mt19937_64 pick(write ? 1 : 2);
        const std::uint64_t blocks = plan_.cardBytes / kRandomBytes;
        const std::span<std::uint8_t> bytes = write ? bytes_.first(kRandomBytes) : readBytes_.first(kRandomBytes);
        const Clock::time_point start = Clock::now();
        std::uint64_t operations = 0;
        do {
            const std::uint64_t offset = pick() % blocks * kRandomBytes;
            if (write ? !card_.Write(offset, bytes) : card_.Read(offset, bytes) != bytes.size()) {
                figures_.failedOffset = offset;
                return std::nullopt;
            }
            ++operations;
        } while (SecondsSince(start) < plan_.randomSeconds);
        if (write) {
            card_.Settle();
        }
        return static_cast<double>(operations) / std::max(SecondsSince(start), 1e-9);
    }

    bool RandomOperations()
    {
        const std::optional<double> reads = Random(false);
        const std::optional<double> writes = reads ? Random(true) : std::nullopt;
        if (!writes) {
            return false;
        }
        figures_.randomReadsPerSecond = *reads;
        figures_.randomWritesPerSecond = *writes;
        std::fprintf(progress_, "Random 4 KiB operations measured: %.0f reads/s, %.0f writes/s\n", *reads, *writes);
        std::fflush(progress_);
        return true;
    }

    CardBlocks& card_;
    const SpeedPlan& plan_;
    std::FILE* progress_;
    AlignedBuffer buffer_;
    std::span<std::uint8_t> bytes_;      // the noise every write sends
    std::span<std::uint8_t> readBytes_;  // what reads bring back, never sent again
    SpeedFigures figures_;
    std::uint64_t measuredRegions_ = 0;  // with a read speed
};

std::string Rate(double bytesPerSecond)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", bytesPerSecond / kMegabytePerSecond);
    return text;
}

std::string RegionText(const RegionSpeed& region)
{
    return "the region at " + std::to_string(region.offsetBytes >> 20) + " MiB (bytes " +
           std::to_string(region.offsetBytes) + " to " + std::to_string(region.offsetBytes + region.lengthBytes) + ")";
}

}  // namespace

SpeedPlan PlanSpeedTest(std::uint64_t cardBytes)
{
    const std::uint64_t regions =
        std::clamp<std::uint64_t>(cardBytes / kMiB, cardBytes >= kRandomBytes ? 1 : 0, kRegions);
    if (regions == 0) {
        return {.cardBytes = cardBytes};
    }
    const std::uint64_t regionBytes = cardBytes / regions / kRandomBytes * kRandomBytes;
    return {.cardBytes = cardBytes,
            .regionCount = regions,
            .regionBytes = regionBytes,
            .sampleBytes = std::min(regionBytes, kSampleBytes),
            .randomSeconds = kRandomSeconds};
}

const RegionSpeed& SpeedFigures::SlowestWriteRegion() const
{
    return *std::min_element(regions.begin(), regions.end(), [](const RegionSpeed& a, const RegionSpeed& b) {
        return a.writeBytesPerSecond < b.writeBytesPerSecond;
    });
}

const RegionSpeed& SpeedFigures::SlowestReadRegion() const
{
    return *std::min_element(regions.begin(), regions.end(), [](const RegionSpeed& a, const RegionSpeed& b) {
        return a.readBytesPerSecond < b.readBytesPerSecond;
    });
}

MeasuredSpeeds SpeedFigures::Measured() const
{
    return {.slowestWriteBytesPerSecond = regions.empty() ? 0 : SlowestWriteRegion().writeBytesPerSecond,
            .randomReadsPerSecond = randomReadsPerSecond,
            .randomWritesPerSecond = randomWritesPerSecond};
}

SpeedFigures MeasureSpeed(CardBlocks& card, const SpeedPlan& plan, std::FILE* progressOutput)
{
    if (plan.regionCount == 0) {
        return {};
    }
    return SpeedRun(card, plan, progressOutput).Run();
}

std::string SpeedChart(const SpeedFigures& figures)
{
    if (figures.regions.empty()) {
        return "";
    }
    double fastest = 0;
    for (const RegionSpeed& region : figures.regions) {
        fastest = std::max(fastest, region.writeBytesPerSecond);
    }
    std::string text = "Speed by region (MB/s; the first " + std::to_string(figures.sampleBytes >> 20) +
                       " MiB of each region written, then read):\n";
    char line[128];
    std::snprintf(line, sizeof line, "%10s  %-*s %7s %7s\n", "MiB", static_cast<int>(kBarColumns), "write", "", "read");
    text += line;
    for (const RegionSpeed& region : figures.regions) {
        const auto columns = static_cast<std::size_t>(
            fastest > 0 ? region.writeBytesPerSecond / fastest * static_cast<double>(kBarColumns) + 0.5 : 0);
        std::snprintf(line, sizeof line, "%10llu  %-*s %7s %7s\n",
                      static_cast<unsigned long long>(region.offsetBytes >> 20), static_cast<int>(kBarColumns),
                      std::string(std::max<std::size_t>(columns, 1), '#').c_str(),
                      Rate(region.writeBytesPerSecond).c_str(), Rate(region.readBytesPerSecond).c_str());
        text += line;
    }
    const RegionSpeed& slowWrite = figures.SlowestWriteRegion();
    const RegionSpeed& slowRead = figures.SlowestReadRegion();
    text += "Slowest write: " + Rate(slowWrite.writeBytesPerSecond) + " MB/s, in " + RegionText(slowWrite) + ".\n";
    text += "Slowest read: " + Rate(slowRead.readBytesPerSecond) + " MB/s, in " + RegionText(slowRead) + ".\n";
    std::snprintf(line, sizeof line, "Random 4 KiB: %.0f reads/s, %.0f writes/s.\n", figures.randomReadsPerSecond,
                  figures.randomWritesPerSecond);
    return text + line;
}

std::string DescribeVerdicts(const std::vector<ClassVerdict>& verdicts)
{
    std::string text;
    for (const ClassVerdict& verdict : verdicts) {
        const SpeedClassRow* row = SpeedClassNamed(verdict.className);
        text += "Class " + (row != nullptr ? ClassPromiseText(*row) : verdict.className) + ", from " + verdict.source;
        if (verdict.Kept()) {
            text += ": kept.\n";
            continue;
        }
        text += ": NOT kept:";
        for (const std::string& failure : verdict.failures) {
            text += " " + failure + ";";
        }
        text.back() = '.';
        text += '\n';
    }
    return text;
}
