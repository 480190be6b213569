// The health checks' costs, printed, never a test. On a counterfeit card
// (faulty-card over FUSE: 128 GiB reported, 15.9 GB kept, a 256 MiB cache
// of its latest writes) the quick capacity check's time and bytes moved,
// and what those bytes take at 20 MB/s. On a sparse image, the write speed
// the speed test measures against a bare sequential writer of the same
// samples, in rounds that alternate who goes first.
//
//     health_bench DIR [ROUNDS]
#include "cli/capacity_probe.h"
#include "cli/card_blocks.h"
#include "cli/card_health.h"
#include "cli/speed_test.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <new>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kReportedBytes = std::uint64_t{128} << 30;
constexpr std::uint64_t kRealBytes = 15'931'539'456;
constexpr double kCardBytesPerSecond = 20e6;
constexpr std::uint64_t kSpeedImageBytes = std::uint64_t{4} << 30;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The card as the checks see it, past the page cache, counting what moves.
class CountingCard final : public CardBlocks {
public:
    explicit CountingCard(const fs::path& path) : descriptor_(::open(path.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC)) {}
    ~CountingCard() override
    {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    CountingCard(const CountingCard&) = delete;
    CountingCard& operator=(const CountingCard&) = delete;

    bool Open() const { return descriptor_ >= 0; }
    bool Write(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        written_ += bytes.size();
        return ::pwrite(descriptor_, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
               static_cast<ssize_t>(bytes.size());
    }
    std::size_t Read(std::uint64_t offset, std::span<std::uint8_t> bytes) override
    {
        read_ += bytes.size();
        const ssize_t count = ::pread(descriptor_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        return count < 0 ? 0 : static_cast<std::size_t>(count);
    }
    void Settle() override { ::fsync(descriptor_); }

    std::uint64_t Written() const { return written_; }
    std::uint64_t ReadBytes() const { return read_; }

private:
    int descriptor_;
    std::uint64_t written_ = 0;
    std::uint64_t read_ = 0;
};

void CapacityCheckOnACachedCounterfeit(const fs::path& directory)
{
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        std::puts("capacity: skipped, no usable /dev/fuse here");
        return;
    }
    const fs::path backing = directory / "counterfeit-backing.img";
    const fs::path mount = directory / "counterfeit";
    fs::create_directories(mount);
    if (::truncate(backing.c_str(), 0) != 0 && errno != ENOENT) {
        std::perror(backing.c_str());
    }
    {
        const int file = ::open(backing.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (file < 0 || ::ftruncate(file, static_cast<off_t>(kRealBytes)) != 0) {
            std::perror(backing.c_str());
            return;
        }
        ::close(file);
    }
    const std::string reported = std::to_string(kReportedBytes);
    const std::string cache = std::to_string(kCardCacheBytes);
    const char* arguments[] = {FAULTY_CARD_PATH, backing.c_str(), reported.c_str(), "0",
                               mount.c_str(),    "--cache",       cache.c_str(),    nullptr};
    pid_t card = -1;
    if (posix_spawn(&card, FAULTY_CARD_PATH, nullptr, nullptr, const_cast<char**>(arguments), environ) != 0) {
        std::puts("capacity: skipped, faulty-card did not start");
        return;
    }
    const fs::path image = mount / "card.img";
    std::error_code error;
    for (int tries = 0; tries < 100 && fs::file_size(image, error) != kReportedBytes; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    {
        CountingCard counted(image);
        if (!counted.Open()) {
            std::puts("capacity: skipped, the FUSE card did not open");
        } else {
            std::FILE* quiet = std::fopen("/dev/null", "w");
            const Clock::time_point start = Clock::now();
            const CapacityFinding finding = CheckCapacity(counted, PlanProbes(kReportedBytes, false), 0x5eed, quiet);
            const double seconds = SecondsSince(start);
            std::fclose(quiet);
            std::printf("capacity: 128 GiB card keeping %llu bytes behind a 256 MiB cache: found %llu bytes "
                        "(%s) in %.1f s here\n",
                        static_cast<unsigned long long>(kRealBytes),
                        static_cast<unsigned long long>(finding.usableBytes),
                        finding.usableBytes == kRealBytes ? "exact" : "WRONG", seconds);
            std::printf("capacity: wrote %.1f MiB, read %.1f MiB; at 20 MB/s each way that is %.0f s "
                        "(writes alone %.0f s)\n",
                        static_cast<double>(counted.Written()) / kMiB, static_cast<double>(counted.ReadBytes()) / kMiB,
                        static_cast<double>(counted.Written() + counted.ReadBytes()) / kCardBytesPerSecond,
                        static_cast<double>(counted.Written()) / kCardBytesPerSecond);
        }
    }
    ::kill(card, SIGTERM);
    ::waitpid(card, nullptr, 0);
    fs::remove(backing, error);
}

// The speed test's samples written as plainly as can be: 1 MiB direct
// writes one after another, one flush at the end. Bytes a second.
double BareSampleWriter(const fs::path& image, const SpeedPlan& plan)
{
    const int file = ::open(image.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC);
    auto* buffer = static_cast<std::uint8_t*>(::operator new[](kMiB, std::align_val_t{4096}));
    std::memset(buffer, 0x5a, kMiB);
    const Clock::time_point start = Clock::now();
    for (std::uint64_t r = 0; r < plan.regionCount; ++r) {
        for (std::uint64_t done = 0; done < plan.sampleBytes; done += kMiB) {
            const std::uint64_t size = std::min(kMiB, plan.sampleBytes - done);
            if (::pwrite(file, buffer, size, static_cast<off_t>(r * plan.regionBytes + done)) !=
                static_cast<ssize_t>(size)) {
                std::perror("bare writer");
            }
        }
    }
    ::fsync(file);
    const double seconds = SecondsSince(start);
    ::operator delete[](buffer, std::align_val_t{4096});
    ::close(file);
    return static_cast<double>(plan.regionCount * plan.sampleBytes) / seconds;
}

// The write speed the speed test reports over all its samples.
double MeasuredWriteSpeed(const fs::path& image, const SpeedPlan& plan, double& readsPerSecond, double& writesPerSecond)
{
    CountingCard card(image);
    std::FILE* quiet = std::fopen("/dev/null", "w");
    const SpeedFigures figures = MeasureSpeed(card, plan, quiet);
    std::fclose(quiet);
    double seconds = 0;
    for (const RegionSpeed& region : figures.regions) {
        seconds += static_cast<double>(plan.sampleBytes) / region.writeBytesPerSecond;
    }
    readsPerSecond = figures.randomReadsPerSecond;
    writesPerSecond = figures.randomWritesPerSecond;
    return static_cast<double>(plan.regionCount * plan.sampleBytes) / seconds;
}

void SpeedOverheadOnAnImage(const fs::path& directory, int rounds)
{
    const fs::path image = directory / "speed.img";
    {
        const int file = ::open(image.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
        if (file < 0 || ::ftruncate(file, static_cast<off_t>(kSpeedImageBytes)) != 0) {
            std::perror(image.c_str());
            return;
        }
        ::close(file);
    }
    const SpeedPlan plan = PlanSpeedTest(kSpeedImageBytes);
    // Once before the rounds, so that no side pays for the image's first allocation.
    BareSampleWriter(image, plan);
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        double reads = 0;
        double writes = 0;
        double bare = 0;
        double measured = 0;
        if (round % 2 == 0) {
            bare = BareSampleWriter(image, plan);
            measured = MeasuredWriteSpeed(image, plan, reads, writes);
        } else {
            measured = MeasuredWriteSpeed(image, plan, reads, writes);
            bare = BareSampleWriter(image, plan);
        }
        ratios.push_back(bare / measured);
        std::printf("speed round %d: bare writer %.1f MB/s, speed test measured %.1f MB/s (%.2fx); random 4 KiB "
                    "%.0f reads/s, %.0f writes/s\n",
                    round + 1, bare / 1e6, measured / 1e6, bare / measured, reads, writes);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("speed: the bare writer over the speed test's measure, median %.2fx (%.2fx to %.2fx), on %llu MiB "
                "of samples of a 4 GiB image\n",
                ratios[ratios.size() / 2], ratios.front(), ratios.back(),
                static_cast<unsigned long long>(plan.regionCount * plan.sampleBytes / kMiB));
    std::error_code error;
    fs::remove(image, error);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: health_bench DIR [ROUNDS]\n", stderr);
        return 2;
    }
    const fs::path directory = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    CapacityCheckOnACachedCounterfeit(directory);
    SpeedOverheadOnAnImage(directory, rounds);
    return 0;
}
