// A counterfeit card's cache of its latest writes: up to a fixed number of
// bytes of 512-byte sectors, kept by the offset they were sent to, least
// recently written out first. The card writes through it and answers reads
// from it, so a read of a sector written lately shows what was sent there,
// not what the flash kept.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

class WriteCache {
public:
    static constexpr std::uint64_t kSectorBytes = 512;

    explicit WriteCache(std::uint64_t capacityBytes)
        : slots_(capacityBytes / kSectorBytes), data_(slots_ * kSectorBytes), owner_(slots_, kFree)
    {
    }

    // A sector only partly written is forgotten: the flash holds it whole.
    void Store(std::uint64_t offset, const char* bytes, std::size_t size)
    {
        if (slots_ == 0) {
            return;
        }
        const std::uint64_t end = offset + size;
        for (std::uint64_t sector = offset / kSectorBytes; sector * kSectorBytes < end; ++sector) {
            const std::uint64_t start = sector * kSectorBytes;
            Forget(sector);
            if (start < offset || start + kSectorBytes > end) {
                continue;
            }
            if (owner_[next_] != kFree) {
                where_.erase(owner_[next_]);
            }
            std::memcpy(data_.data() + next_ * kSectorBytes, bytes + (start - offset), kSectorBytes);
            owner_[next_] = sector;
            where_[sector] = next_;
            next_ = (next_ + 1) % slots_;
        }
    }

    // Lays what the cache holds of [offset, offset + size) over buffer.
    void Serve(std::uint64_t offset, char* buffer, std::size_t size) const
    {
        if (where_.empty()) {
            return;
        }
        const std::uint64_t end = offset + size;
        for (std::uint64_t sector = offset / kSectorBytes; sector * kSectorBytes < end; ++sector) {
            const auto found = where_.find(sector);
            if (found == where_.end()) {
                continue;
            }
            const std::uint64_t from = std::max(offset, sector * kSectorBytes);
            const std::uint64_t to = std::min(end, (sector + 1) * kSectorBytes);
            std::memcpy(buffer + (from - offset),
                        data_.data() + found->second * kSectorBytes + (from - sector * kSectorBytes), to - from);
        }
    }

private:
    static constexpr std::uint64_t kFree = std::numeric_limits<std::uint64_t>::max();

    void Forget(std::uint64_t sector)
    {
        if (const auto found = where_.find(sector); found != where_.end()) {
            owner_[found->second] = kFree;
            where_.erase(found);
        }
    }

    std::uint64_t slots_;
    std::vector<char> data_;
    std::vector<std::uint64_t> owner_;  // the sector each slot holds
    std::uint64_t next_ = 0;            // the oldest slot, written next
    std::unordered_map<std::uint64_t, std::uint64_t> where_;
};
