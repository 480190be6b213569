#include "trellan/cluster_tables.h"

#include <iterator>

namespace trellan {
namespace {

struct SdRow {
    std::uint64_t max_card_sectors;
    SdFatParameters parameters;
};

// Cards up to 64 MiB come out FAT12, larger ones FAT16, by cluster count.
constexpr SdRow sd_rows[] = {
    {16384, {16, 16}},     // 8 MiB: 8 KiB clusters, 8 KiB unit
    {131072, {32, 32}},    // 64 MiB: 16 KiB, 16 KiB
    {524288, {32, 64}},    // 256 MiB: 16 KiB, 32 KiB
    {2097152, {32, 128}},  // 1 GiB: 16 KiB, 64 KiB
    {4194304, {64, 128}},  // 2 GiB: 32 KiB, 64 KiB
};

struct ClusterRow {
    std::uint64_t max_volume_mib;
    std::uint32_t sectors_per_cluster;
};

constexpr std::uint64_t sectors_per_mib = 2048;

constexpr ClusterRow windows_fat16_rows[] = {
    {16, 4},     // 2 KiB (below 16 MiB Windows itself writes FAT12)
    {32, 1},     // 512 bytes
    {64, 2},     // 1 KiB
    {128, 4},    // 2 KiB
    {256, 8},    // 4 KiB
    {512, 16},   // 8 KiB
    {1024, 32},  // 16 KiB
    {2048, 64},  // 32 KiB, the largest that every FAT16 reader accepts
};

constexpr ClusterRow windows_fat32_rows[] = {
    {64, 1},      // 512 bytes
    {128, 2},     // 1 KiB
    {256, 4},     // 2 KiB
    {8192, 8},    // 4 KiB
    {16384, 16},  // 8 KiB
    {32768, 32},  // 16 KiB
};
// Above 32 GiB Windows will not format FAT32; its older table says 32 KiB.
constexpr std::uint32_t windows_fat32_largest_cluster_sectors = 64;

template <std::size_t size>
std::uint32_t lookup(const ClusterRow (&rows)[size], std::uint64_t volume_sectors, std::uint32_t beyond)
{
    // Volume sizes count in whole MiB, rounded up: 16 MiB + 1 sector is the next row.
    const std::uint64_t volume_mib = (volume_sectors + sectors_per_mib - 1) / sectors_per_mib;
    for (const ClusterRow& row : rows) {
        if (volume_mib <= row.max_volume_mib) {
            return row.sectors_per_cluster;
        }
    }
    return beyond;
}

}  // namespace

SdFatParameters sd_standard_capacity_parameters(std::uint64_t card_sectors)
{
    for (const SdRow& row : sd_rows) {
        if (card_sectors <= row.max_card_sectors) {
            return row.parameters;
        }
    }
    return sd_rows[std::size(sd_rows) - 1].parameters;
}

std::uint32_t windows_fat16_sectors_per_cluster(std::uint64_t volume_sectors)
{
    return lookup(windows_fat16_rows, volume_sectors,
                  windows_fat16_rows[std::size(windows_fat16_rows) - 1].sectors_per_cluster);
}

std::uint32_t windows_fat32_sectors_per_cluster(std::uint64_t volume_sectors)
{
    return lookup(windows_fat32_rows, volume_sectors, windows_fat32_largest_cluster_sectors);
}

}  // namespace trellan
