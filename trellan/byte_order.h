// Little-endian access to on-disk structures. Every field of every FAT and
// exFAT structure is read and written through these, at a named offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace trellan {

inline std::uint16_t load_le16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

inline std::uint32_t load_le32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(load_le16(bytes, offset)) |
           static_cast<std::uint32_t>(load_le16(bytes, offset + 2)) << 16;
}

inline std::uint64_t load_le64(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint64_t>(load_le32(bytes, offset)) |
           static_cast<std::uint64_t>(load_le32(bytes, offset + 4)) << 32;
}

inline void store_le16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value)
{
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void store_le32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value)
{
    store_le16(bytes, offset, static_cast<std::uint16_t>(value));
    store_le16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

inline void store_le64(std::span<std::uint8_t> bytes, std::size_t offset, std::uint64_t value)
{
    store_le32(bytes, offset, static_cast<std::uint32_t>(value));
    store_le32(bytes, offset + 4, static_cast<std::uint32_t>(value >> 32));
}

}  // namespace trellan
