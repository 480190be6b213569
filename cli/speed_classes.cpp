#include "cli/speed_classes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

std::string MegabytesText(double bytesPerSecond)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / kMegabytePerSecond);
    return text;
}

}  // namespace

const SpeedClassRow* SpeedClassNamed(std::string_view name)
{
    const auto found = std::find_if(kSpeedClassRows.begin(), kSpeedClassRows.end(), [name](const SpeedClassRow& row) {
        return std::equal(row.name.begin(), row.name.end(), name.begin(), name.end(),
                          [](char a, char b) { return a == std::toupper(static_cast<unsigned char>(b)); });
    });
    return found == kSpeedClassRows.end() ? nullptr : &*found;
}

ClassVerdict JudgeSpeedClass(const SpeedClassRow& row, const MeasuredSpeeds& measured, std::string source)
{
    ClassVerdict verdict{.className = std::string(row.name), .source = std::move(source), .failures = {}};
    if (measured.slowestWriteBytesPerSecond < static_cast<double>(row.sequentialWriteBytesPerSecond)) {
        verdict.failures.push_back("its slowest region writes " + MegabytesText(measured.slowestWriteBytesPerSecond) +
                                   ", under " + MegabytesText(static_cast<double>(row.sequentialWriteBytesPerSecond)));
    }
    const auto rate = [](double perSecond) { return std::to_string(static_cast<std::uint64_t>(perSecond)); };
    if (measured.randomReadsPerSecond < static_cast<double>(row.randomReadsPerSecond)) {
        verdict.failures.push_back(rate(measured.randomReadsPerSecond) + " random reads/s, under " +
                                   std::to_string(row.randomReadsPerSecond));
    }
    if (measured.randomWritesPerSecond < static_cast<double>(row.randomWritesPerSecond)) {
        verdict.failures.push_back(rate(measured.randomWritesPerSecond) + " random writes/s, under " +
                                   std::to_string(row.randomWritesPerSecond));
    }
    return verdict;
}

std::string ClassPromiseText(const SpeedClassRow& row)
{
    std::string text = std::string(row.name) + " (" +
                       std::to_string(row.sequentialWriteBytesPerSecond / kMegabytePerSecond) +
                       " MB/s sequential write";
    if (row.randomReadsPerSecond != 0) {
        text += ", " + std::to_string(row.randomReadsPerSecond) + " random reads/s, " +
                std::to_string(row.randomWritesPerSecond) + " random writes/s";
    }
    return text + ")";
}
