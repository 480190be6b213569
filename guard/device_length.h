// How long an image file or a Linux block device is, in bytes.
#pragma once

#include <cstdint>
#include <optional>

enum class DeviceKind { imageFile, blockDevice, other };

// What fstat says the descriptor is.
DeviceKind DeviceKindOf(int descriptor);

// The file's size, or the block device's size from the kernel; nullopt for
// anything else or when the kernel does not answer.
std::optional<std::uint64_t> DeviceLengthBytes(int descriptor);

// The logical sector size a block device reports; image files have none of
// their own and count in the cards' 512 bytes.
std::uint32_t DeviceSectorBytes(int descriptor);
