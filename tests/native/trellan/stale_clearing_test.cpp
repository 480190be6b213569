#include "trellan/stale_clearing.h"

#include <gtest/gtest.h>

#include "memory_device.h"

namespace trellan {
namespace {

TEST(StaleClearing, ClearsEachSignatureReachAndTheStructuresOnceEach)
{
    const struct {
        const char* name;
        std::uint64_t card_sectors;
        std::uint64_t partition_start_sectors;
        std::vector<SectorRange> structures;
        std::vector<SectorRange> expected;
    } rows[] = {
        {"apart", 1'000'000, 8192, {{16000, 20000}}, {{0, 1024}, {8192, 9216}, {16000, 20000}, {998'976, 1'000'000}}},
        {"partition inside the card's first reach", 1'000'000, 100, {{101, 3000}}, {{0, 3000}, {998'976, 1'000'000}}},
        {"structures touching the partition's reach",
         1'000'000,
         8192,
         {{9216, 12000}},
         {{0, 1024}, {8192, 12000}, {998'976, 1'000'000}}},
        {"unsorted structures",
         1'000'000,
         8192,
         {{30000, 30064}, {16000, 20000}},
         {{0, 1024}, {8192, 9216}, {16000, 20000}, {30000, 30064}, {998'976, 1'000'000}}},
        {"card smaller than two reaches", 2000, 64, {{65, 200}}, {{0, 2000}}},
        {"card smaller than one reach", 1000, 16, {}, {{0, 1000}}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(clearing_ranges(row.card_sectors, row.partition_start_sectors, row.structures), row.expected)
            << row.name;
    }
}

TEST(StaleClearing, AFailedZeroFillNamesTheErasedRangesFirstSector)
{
    MemoryDevice card(1'000'000);
    card.fail_write(2);
    const std::vector<SectorRange> ranges{{0, 1024}, {8192, 9216}, {998'976, 1'000'000}};
    const FormatStatus status = zero_ranges(card, ranges);
    EXPECT_EQ(status.failure, Failure::write_failed);
    EXPECT_EQ(status.region, Region::erase);
    EXPECT_EQ(status.sector, 8192u);
    EXPECT_EQ(card.write_calls(), 2u);
}

}  // namespace
}  // namespace trellan
