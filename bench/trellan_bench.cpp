// Times each card builder on sparse image files and counts the bytes it
// writes, next to mkfs.fat -F 32 on a 32 GiB image and mkfs.exfat on a
// 128 GiB image, and ends with each builder's bytes as a multiple of the
// tool's (the target is at most 1.5x).
//   trellan_bench [SCRATCH_DIR]
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "trellan/builders.h"
#include "trellan/file_device.h"

namespace {

using namespace trellan;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t gib = std::uint64_t{1} << 30;

// Holes: zero-fills become holes in the image, as the file device does.
// Written: zero-fills go through write() as a card without a hole
// primitive receives them, which is what the time on a card is made of.
enum class ZeroFill { holes, written };

// Counts what a builder hands the device: data writes and zero-fills apart.
class CountingDevice final : public BlockDevice {
public:
    CountingDevice(BlockDevice& inner, ZeroFill zero_fill) : inner_(inner), zero_fill_(zero_fill) {}

    std::uint32_t sector_size_bytes() const override { return inner_.sector_size_bytes(); }
    std::uint64_t length_sectors() const override { return inner_.length_sectors(); }
    IoResult read(std::uint64_t first, std::span<std::uint8_t> buffer) override { return inner_.read(first, buffer); }
    IoResult write(std::uint64_t first, std::span<const std::uint8_t> buffer) override
    {
        data_bytes += buffer.size();
        ++calls;
        return inner_.write(first, buffer);
    }
    IoResult write_zeros(std::uint64_t first, std::uint64_t count) override
    {
        if (zero_fill_ == ZeroFill::written) {
            return BlockDevice::write_zeros(first, count);
        }
        zero_bytes += count * sector_size_bytes();
        ++calls;
        return inner_.write_zeros(first, count);
    }
    IoResult flush() override { return inner_.flush(); }
    bool is_read_only() const override { return inner_.is_read_only(); }

    std::uint64_t data_bytes = 0;
    std::uint64_t zero_bytes = 0;
    std::uint64_t calls = 0;

private:
    BlockDevice& inner_;
    ZeroFill zero_fill_;
};

std::uint64_t allocated_bytes(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_blocks) * 512 : 0;
}

bool fresh_image(const std::string& path, std::uint64_t bytes)
{
    std::filesystem::remove(path);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return ::truncate(path.c_str(), static_cast<off_t>(bytes)) == 0;
}

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void print_row(const char* name, std::uint64_t card_bytes, double seconds, std::uint64_t written, std::uint64_t zeroed,
               std::uint64_t allocated)
{
    std::printf("%-22s %7.0f GiB %9.3f s %11.2f MiB %11.2f MiB %11.2f MiB\n", name,
                static_cast<double>(card_bytes) / gib, seconds, written / 1048576.0, zeroed / 1048576.0,
                allocated / 1048576.0);
}

// Both return the bytes put on the card (data and zeros), 0 when they could not run.
std::uint64_t bench_builder(const char* name, Builder builder, std::uint64_t card_bytes, const std::string& path,
                            ZeroFill zero_fill = ZeroFill::holes)
{
    if (!fresh_image(path, card_bytes)) {
        std::printf("%-22s cannot create %s\n", name, path.c_str());
        return 0;
    }
    OpenFailure failure = OpenFailure::none;
    auto file = FileDevice::open(path, failure);
    if (!file) {
        std::printf("%-22s %s\n", name, describe(failure));
        return 0;
    }
    CountingDevice card(*file, zero_fill);
    const auto start = Clock::now();
    const FormatStatus status = build(builder, card, {"BENCH", u"BENCH"}, current_format_stamp());
    const double seconds = seconds_since(start);
    file.reset();
    if (!status.ok()) {
        std::printf("%-22s failed\n", name);
        return 0;
    }
    print_row(name, card_bytes, seconds, card.data_bytes, card.zero_bytes, allocated_bytes(path));
    return card.data_bytes + card.zero_bytes;
}

std::uint64_t bench_tool(const char* name, const std::string& command, std::uint64_t card_bytes,
                         const std::string& path)
{
    if (!fresh_image(path, card_bytes)) {
        return 0;
    }
    const auto start = Clock::now();
    const int result = std::system((command + " " + path + " >/dev/null 2>&1").c_str());
    const double seconds = seconds_since(start);
    if (result != 0) {
        std::printf("%-22s not available\n", name);
        return 0;
    }
    // A tool's writes show only as the blocks its image holds afterwards.
    const std::uint64_t allocated = allocated_bytes(path);
    print_row(name, card_bytes, seconds, allocated, 0, allocated);
    return allocated;
}

void print_ratio(const char* name, std::uint64_t builder_bytes, std::uint64_t tool_bytes)
{
    if (builder_bytes == 0 || tool_bytes == 0) {
        std::printf("%-32s n/a\n", name);
        return;
    }
    std::printf("%-32s %8.2f MiB / %8.2f MiB = %.2fx\n", name, builder_bytes / 1048576.0, tool_bytes / 1048576.0,
                static_cast<double>(builder_bytes) / static_cast<double>(tool_bytes));
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path scratch = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    const std::string image = (scratch / "trellan-bench.img").string();
    std::printf("%-22s %11s %11s %15s %15s %15s\n", "builder", "card", "time", "data written", "zero-filled",
                "image blocks");
    const std::uint64_t fat32 = bench_builder("Trellan FAT32", Builder::fat32, 32 * gib, image);
    bench_builder("Trellan FAT32 (zeros)", Builder::fat32, 32 * gib, image, ZeroFill::written);
    const std::uint64_t mkfs_fat = bench_tool("mkfs.fat -F 32", "mkfs.fat -F 32", 32 * gib, image);
    const std::uint64_t exfat = bench_builder("Trellan exFAT", Builder::exfat, 128 * gib, image);
    bench_builder("Trellan exFAT (zeros)", Builder::exfat, 128 * gib, image, ZeroFill::written);
    const std::uint64_t mkfs_exfat = bench_tool("mkfs.exfat", "mkfs.exfat", 128 * gib, image);
    bench_builder("Trellan exFAT 2 TiB", Builder::exfat, 2048 * gib, image);
    bench_builder("Trellan SD", Builder::sd, 2 * gib, image);
    bench_builder("Trellan MMC", Builder::mmc, 1 * gib, image);
    bench_builder("Trellan CF", Builder::cf, 4 * gib, image);
    std::filesystem::remove(image);
    std::printf("\nbytes put on the card, builder / tool (target at most 1.5x)\n");
    print_ratio("FAT32 32 GiB / mkfs.fat -F 32", fat32, mkfs_fat);
    print_ratio("exFAT 128 GiB / mkfs.exfat", exfat, mkfs_exfat);
    return 0;
}
