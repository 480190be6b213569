// The SD speed classes a card is sold under and what each promises: a
// sustained sequential write speed, and for the application classes also
// random 4 KiB reads and writes a second. One row per class; --class takes
// their names, --help lists them, the verdict reads them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SpeedClassRow {
    std::string_view name;                        // as printed on the card: C10, U3, V30, A1
    std::uint64_t sequentialWriteBytesPerSecond;  // MB/s as the classes count them, 1,000,000 bytes
    std::uint64_t randomReadsPerSecond;           // 4 KiB reads; 0 where the class promises none
    std::uint64_t randomWritesPerSecond;
};

inline constexpr std::uint64_t kMegabytePerSecond = 1'000'000;

inline constexpr std::array<SpeedClassRow, 13> kSpeedClassRows = {{
    {"C2", 2 * kMegabytePerSecond, 0, 0},
    {"C4", 4 * kMegabytePerSecond, 0, 0},
    {"C6", 6 * kMegabytePerSecond, 0, 0},
    {"C10", 10 * kMegabytePerSecond, 0, 0},
    {"U1", 10 * kMegabytePerSecond, 0, 0},
    {"U3", 30 * kMegabytePerSecond, 0, 0},
    {"V6", 6 * kMegabytePerSecond, 0, 0},
    {"V10", 10 * kMegabytePerSecond, 0, 0},
    {"V30", 30 * kMegabytePerSecond, 0, 0},
    {"V60", 60 * kMegabytePerSecond, 0, 0},
    {"V90", 90 * kMegabytePerSecond, 0, 0},
    {"A1", 10 * kMegabytePerSecond, 1500, 500},
    {"A2", 10 * kMegabytePerSecond, 4000, 2000},
}};

// The row of a class name, in any letter case; nullptr for none.
const SpeedClassRow* SpeedClassNamed(std::string_view name);

// What a card measured, as the classes judge it.
struct MeasuredSpeeds {
    double slowestWriteBytesPerSecond = 0;  // the slowest region's sequential write
    double randomReadsPerSecond = 0;
    double randomWritesPerSecond = 0;
};

struct ClassVerdict {
    std::string className;
    std::string source;                 // "--class", or "the card's SD Status register"
    std::vector<std::string> failures;  // empty: the card keeps the class

    bool Kept() const { return failures.empty(); }
};

ClassVerdict JudgeSpeedClass(const SpeedClassRow& row, const MeasuredSpeeds& measured, std::string source);

// "C10 (10 MB/s sequential write)", "A1 (10 MB/s sequential write, 1500
// random reads/s, 500 random writes/s)".
std::string ClassPromiseText(const SpeedClassRow& row);
