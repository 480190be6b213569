#include "cli/progress_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kBarCells = 30;
// Before this, one slow first write would make the estimate wild.
constexpr double kMinimumElapsedSeconds = 0.5;
constexpr double kBytesPerMegabyte = 1e6;  // MB/s as disk tools print it

std::string Format(const char* format, auto... values)
{
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string SpeedText(std::uint64_t bytes, double seconds)
{
    return Format("%.1f MB/s", static_cast<double>(bytes) / seconds / kBytesPerMegabyte);
}

}  // namespace

std::string DurationText(double seconds)
{
    const auto whole = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
    if (whole >= 3600) {
        return Format("%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    }
    return Format("%lld:%02lld", whole / 60, whole % 60);
}

std::string ProgressLine(std::string_view activity, std::uint64_t doneBytes, std::uint64_t totalBytes,
                         double elapsedSeconds)
{
    const std::uint64_t done = std::min(doneBytes, totalBytes);
    const double share = totalBytes == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(totalBytes);
    const int filled = static_cast<int>(share * kBarCells);
    std::string line(activity);
    line += " [" + std::string(filled, '#') + std::string(kBarCells - filled, ' ') + "] ";
    line += Format("%3d%%", static_cast<int>(share * 100));
    if (done == 0 || elapsedSeconds <= 0 || (elapsedSeconds < kMinimumElapsedSeconds && done < totalBytes)) {
        return line + "  -- MB/s  --:-- left";
    }
    const double bytesPerSecond = static_cast<double>(done) / elapsedSeconds;
    return line + "  " + SpeedText(done, elapsedSeconds) + "  " +
           DurationText(static_cast<double>(totalBytes - done) / bytesPerSecond) + " left";
}

std::string PassSummary(std::uint64_t bytes, double elapsedSeconds)
{
    const std::uint64_t mebibytes = bytes >> 20;
    const std::string size = mebibytes > 0 ? std::to_string(mebibytes) + " MiB" : std::to_string(bytes) + " bytes";
    const std::string speed = elapsedSeconds > 0 ? ", " + SpeedText(bytes, elapsedSeconds) : "";
    return size + " in " + DurationText(elapsedSeconds) + speed;
}
