#include "trellan/builders.h"

#include <vector>

#include "trellan/cluster_tables.h"
#include "trellan/exfat_format.h"
#include "trellan/exfat_layout.h"
#include "trellan/exfat_upcase.h"
#include "trellan/fat_label.h"
#include "trellan/fat_writer.h"
#include "trellan/mbr.h"

namespace trellan {
namespace {

// 32 KiB: the largest cluster every FAT12/16 reader and camera accepts
// (64 KiB clusters are an NT-only extension).
constexpr std::uint32_t fat16_max_cluster_sectors = 64;
// 64 KiB: the largest cluster FAT32 defines (the byte count must fit the
// sectors-per-cluster byte with 512-byte sectors).
constexpr std::uint32_t fat32_max_cluster_sectors = 128;
// Windows' reserved area for FAT32 on a hard disk.
constexpr std::uint32_t windows_fat32_reserved_sectors = 32;

// The cluster sizes to try for FAT12/16, the preferred one first: larger
// ones when it gives too many clusters, then smaller ones (a count in the
// FAT12/FAT16 gap is cured by halving).
std::vector<std::uint32_t> fat16_cluster_candidates(std::uint32_t preferred)
{
    std::vector<std::uint32_t> candidates{preferred};
    for (std::uint32_t larger = preferred * 2; larger <= fat16_max_cluster_sectors; larger *= 2) {
        candidates.push_back(larger);
    }
    for (std::uint32_t smaller = preferred / 2; smaller >= 1; smaller /= 2) {
        candidates.push_back(smaller);
    }
    return candidates;
}

// FAT12 when its cluster count allows, else FAT16, at the first cluster size that fits.
FatPlan plan_fat12_or_16(FatPlanRequest request, std::uint32_t preferred_cluster_sectors)
{
    FatPlan plan;
    plan.failure = Failure::too_small;
    for (const std::uint32_t sectors_per_cluster : fat16_cluster_candidates(preferred_cluster_sectors)) {
        request.sectors_per_cluster = sectors_per_cluster;
        for (const FileSystem file_system : {FileSystem::fat12, FileSystem::fat16}) {
            request.file_system = file_system;
            plan = plan_fat(request);
            if (plan.ok()) {
                return plan;
            }
        }
    }
    return plan;
}

// FAT32 at the preferred cluster size, or the nearest one that gives a
// cluster count FAT32 allows: larger when there are too many, smaller when
// there are too few.
FatPlan plan_fat32_near(FatPlanRequest request)
{
    request.file_system = FileSystem::fat32;
    FatPlan plan = plan_fat(request);
    const Failure first_failure = plan.failure;
    while (!plan.ok() && plan.failure == first_failure) {
        if (first_failure == Failure::too_large && request.sectors_per_cluster < fat32_max_cluster_sectors) {
            request.sectors_per_cluster *= 2;
        } else if (first_failure == Failure::too_small && request.sectors_per_cluster > 1) {
            request.sectors_per_cluster /= 2;
        } else {
            break;
        }
        plan = plan_fat(request);
    }
    return plan;
}

// What every builder checks before it plans: a card it can write at all.
FormatStatus check_device(const BlockDevice& device)
{
    if (device.length_sectors() == 0 || device.sector_size_bytes() != sector_bytes) {
        return FormatStatus::failed(Failure::bad_geometry, Region::device);
    }
    if (device.is_read_only()) {
        return FormatStatus::failed(Failure::write_protected, Region::device);
    }
    return FormatStatus::success();
}

FormatStatus build_fat(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp,
                       FatPlan (*plan_for)(std::uint64_t))
{
    if (FormatStatus status = check_device(device); !status.ok()) {
        return status;
    }
    const FatPlan plan = plan_for(device.length_sectors());
    if (!plan.ok()) {
        return FormatStatus::failed(plan.failure, Region::layout);
    }
    return write_fat_volume(device, plan.layout, make_fat_label(label.fat_oem), stamp);
}

}  // namespace

FatPlan plan_sd_high_capacity(std::uint64_t card_sectors)
{
    FatPlanRequest request;
    request.card_sectors = card_sectors;
    request.sectors_per_cluster = sd_high_capacity_parameters.sectors_per_cluster;
    request.boundary_unit_sectors = sd_high_capacity_parameters.boundary_unit_sectors;
    request.partition_start_sectors = sd_high_capacity_parameters.boundary_unit_sectors;
    request.reserved_sectors = fat32_min_reserved_sectors;
    request.alignment = FatAlignment::grow_reserved_sectors;
    request.geometry = sd_chs_geometry(card_sectors);
    return plan_fat32_near(request);
}

FatPlan plan_sd(std::uint64_t card_sectors)
{
    const SdFatParameters parameters = sd_standard_capacity_parameters(card_sectors);
    FatPlanRequest request;
    request.card_sectors = card_sectors;
    request.boundary_unit_sectors = parameters.boundary_unit_sectors;
    // The partition never starts before one boundary unit, as on factory cards.
    request.partition_start_sectors = parameters.boundary_unit_sectors;
    request.reserved_sectors = 1;
    request.alignment = FatAlignment::move_partition_start;
    request.geometry = sd_chs_geometry(card_sectors);
    const FatPlan plan = plan_fat12_or_16(request, parameters.sectors_per_cluster);
    return plan.ok() || plan.failure != Failure::too_large ? plan : plan_sd_high_capacity(card_sectors);
}

FatPlan plan_mmc(std::uint64_t card_sectors)
{
    return card_sectors <= sd_standard_capacity_max_sectors ? plan_sd(card_sectors)
                                                            : plan_sd_high_capacity(card_sectors);
}

FatPlan plan_cf(std::uint64_t card_sectors)
{
    // The geometry CF cards report in IDENTIFY: 32 sectors per track up to
    // 256 MiB, 63 above, which is also what the SD geometry table gives.
    // The partition starts on the second track, as DOS partitioned disks.
    const ChsGeometry geometry = sd_chs_geometry(card_sectors);
    FatPlanRequest request;
    request.card_sectors = card_sectors;
    request.partition_start_sectors = geometry.sectors_per_track;
    request.alignment = FatAlignment::none;
    request.geometry = geometry;
    const std::uint64_t volume_sectors =
        card_sectors - std::min<std::uint64_t>(card_sectors, geometry.sectors_per_track);
    if (volume_sectors <= sd_standard_capacity_max_sectors) {
        request.reserved_sectors = 1;
        const FatPlan plan = plan_fat12_or_16(request, windows_fat16_sectors_per_cluster(volume_sectors));
        if (plan.ok() || plan.failure != Failure::too_large) {
            return plan;
        }
    }
    request.reserved_sectors = windows_fat32_reserved_sectors;
    request.sectors_per_cluster = windows_fat32_sectors_per_cluster(volume_sectors);
    return plan_fat32_near(request);
}

FormatStatus build_sd(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp)
{
    return build_fat(device, label, stamp, plan_sd);
}

FormatStatus build_fat32(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp)
{
    return build_fat(device, label, stamp, plan_sd_high_capacity);
}

FormatStatus build_mmc(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp)
{
    return build_fat(device, label, stamp, plan_mmc);
}

FormatStatus build_cf(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp)
{
    return build_fat(device, label, stamp, plan_cf);
}

FormatStatus build_exfat(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp)
{
    return build(Builder::exfat, device, label, stamp);
}

FormatStatus build(Builder builder, BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp,
                   const std::optional<ExfatOemSector>& old_oem_parameters)
{
    switch (builder) {
    case Builder::cf:
        return build_cf(device, label, stamp);
    case Builder::exfat:
        if (FormatStatus status = check_device(device); !status.ok()) {
            return status;
        }
        return format_exfat(device, label.exfat_utf16, stamp, old_oem_parameters);
    case Builder::fat32:
        return build_fat32(device, label, stamp);
    case Builder::sd:
        return build_sd(device, label, stamp);
    case Builder::mmc:
        return build_mmc(device, label, stamp);
    }
    // A value from outside the enumeration, as a DLL caller could pass.
    return FormatStatus::failed(Failure::bad_geometry, Region::none);
}

Failure layout_failure(Builder builder, std::uint64_t card_sectors)
{
    switch (builder) {
    case Builder::cf:
        return plan_cf(card_sectors).failure;
    case Builder::exfat: {
        const auto upcase_bytes = static_cast<std::uint32_t>(exfat_upcase_table_bytes().size());
        return plan_exfat(card_sectors, sector_bytes, upcase_bytes).status.failure;
    }
    case Builder::fat32:
        return plan_sd_high_capacity(card_sectors).failure;
    case Builder::sd:
        return plan_sd(card_sectors).failure;
    case Builder::mmc:
        return plan_mmc(card_sectors).failure;
    }
    return Failure::bad_geometry;
}

}  // namespace trellan
