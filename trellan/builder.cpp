#include "trellan/builder.h"

#include <array>

namespace trellan {

namespace {

struct BuilderRow {
    Builder builder;
    std::string_view name;
    std::string_view description;
};

constexpr std::array<BuilderRow, 5> kBuilders = {{
    {Builder::sd, "sd", "SD (FAT12/FAT16)"},
    {Builder::fat32, "fat32", "FAT32"},
    {Builder::exfat, "exfat", "exFAT"},
    {Builder::mmc, "mmc", "MMC (FAT12/FAT16, FAT32 above 2 GiB)"},
    {Builder::cf, "cf", "CF (FAT12/FAT16/FAT32, hard-disk layout)"},
}};

const BuilderRow* row_of(Builder builder)
{
    for (const BuilderRow& row : kBuilders) {
        if (row.builder == builder) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

std::string_view builder_name(Builder builder)
{
    const BuilderRow* row = row_of(builder);
    return row != nullptr ? row->name : std::string_view{};
}

std::string_view builder_description(Builder builder)
{
    const BuilderRow* row = row_of(builder);
    return row != nullptr ? row->description : std::string_view{};
}

std::optional<Builder> builder_named(std::string_view name)
{
    for (const BuilderRow& row : kBuilders) {
        if (row.name == name) {
            return row.builder;
        }
    }
    return std::nullopt;
}

}  // namespace trellan
