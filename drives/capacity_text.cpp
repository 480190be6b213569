#include "drives/capacity_text.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::int64_t kGigabyteBytes = std::int64_t{1} << 30;
constexpr std::int64_t kMegabyteBytes = std::int64_t{1} << 20;
constexpr std::size_t kTrailingBlanks = 4;
constexpr std::size_t kNoDriveBlanks = 63;
constexpr std::size_t kClearedBlanks = 26;
constexpr std::size_t kUnreadBlanks = 40;

std::string TwoDigits(std::int64_t value)
{
    std::string text = std::to_string(value);
    if (text.size() < 2) {
        text.insert(text.begin(), '0');
    }
    return text;
}

}  // namespace

std::int64_t DisplayedCapacityBytes(const DiskGeometry& geometry)
{
    if (geometry.cylinders <= 0) {
        return 0;
    }
    const std::int64_t factors[] = {geometry.sectorsPerTrack, geometry.tracksPerCylinder, geometry.cylinders};
    std::int64_t product = geometry.bytesPerSector;
    for (const std::int64_t factor : factors) {
        if (__builtin_mul_overflow(product, factor, &product)) {
            return std::numeric_limits<std::int64_t>::max();
        }
    }
    return product;
}

std::int64_t ShownCapacityBytes(const DiskGeometry& geometry, std::optional<std::uint64_t> lengthBytes)
{
    const std::int64_t displayed = DisplayedCapacityBytes(geometry);
    if (displayed != 0 || !lengthBytes) {
        return displayed;
    }
    return static_cast<std::int64_t>(std::min<std::uint64_t>(*lengthBytes, std::numeric_limits<std::int64_t>::max()));
}

std::string CapacityText(std::int64_t capacityBytes)
{
    std::string text;
    const std::int64_t gigabytes = capacityBytes / kGigabyteBytes;
    const std::int64_t megabytes = capacityBytes / kMegabyteBytes;
    if (gigabytes != 0) {
        const std::int64_t hundredths = (capacityBytes % kGigabyteBytes) * 100 / kGigabyteBytes;
        text = std::to_string(gigabytes) + "." + TwoDigits(hundredths) + " GBytes ( " + std::to_string(capacityBytes) +
               "  Bytes )";
    } else if (megabytes != 0) {
        text = std::to_string(megabytes) + " MBytes ( " + std::to_string(capacityBytes) + " Bytes )";
    } else {
        text = std::to_string(capacityBytes) + " Bytes";
    }
    return text + std::string(kTrailingBlanks, ' ');
}

std::string ClearedSizeText()
{
    return std::string(kClearedBlanks, ' ');
}

CapacityView DecideCapacityView(CapacityQuery query, const std::optional<DiskGeometry>& geometry,
                                std::optional<std::uint64_t> lengthBytes)
{
    CapacityView view;
    if (!geometry) {
        view.sizeText = "0 Bytes" + std::string(kUnreadBlanks, ' ');
        return view;
    }
    view.sizeText = CapacityText(ShownCapacityBytes(*geometry, lengthBytes));
    view.cardActive = true;
    if (query == CapacityQuery::poll) {
        view.startButton = {.windowEnabled = true, .inactive = false};
    }
    return view;
}

CapacityView NoDriveCapacityView()
{
    CapacityView view;
    view.sizeText = std::string(kNoDriveBlanks, ' ');
    return view;
}
