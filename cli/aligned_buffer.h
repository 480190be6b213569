// Buffers for reads and writes past the system's cache: Linux's direct I/O
// and Windows' unbuffered I/O both take whole sectors at aligned addresses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

// A page: a multiple of every sector size a card reports.
inline constexpr std::size_t kDirectAlignmentBytes = 4096;

struct AlignedFree {
    void operator()(std::uint8_t* bytes) const { ::operator delete[](bytes, std::align_val_t{kDirectAlignmentBytes}); }
};
using AlignedBuffer = std::unique_ptr<std::uint8_t[], AlignedFree>;

// At least bytes long, rounded up to whole alignment units.
inline AlignedBuffer NewAlignedBuffer(std::size_t bytes)
{
    const std::size_t rounded = (bytes + kDirectAlignmentBytes - 1) / kDirectAlignmentBytes * kDirectAlignmentBytes;
    return AlignedBuffer(
        static_cast<std::uint8_t*>(::operator new[](rounded, std::align_val_t{kDirectAlignmentBytes})));
}
