// The card library's five builders, as one enumeration for every caller:
// the format job, the DLL's exports and the command lines.
#pragma once

#include <optional>
#include <string_view>

namespace trellan {

enum class Builder { cf, exfat, fat32, sd, mmc };

// The command lines' name of a builder ("sd", "fat32", ...).
std::string_view builder_name(Builder builder);
// What a builder lays out, for people ("SD (FAT12/FAT16)").
std::string_view builder_description(Builder builder);
std::optional<Builder> builder_named(std::string_view name);

}  // namespace trellan
