#include "ui/window_position.h"

#include <algorithm>

namespace {

// Sums in 64 bits: launcher values run to the ends of int.
bool Overlaps(long long start, long long length, long long areaStart, long long areaLength)
{
    return start < areaStart + areaLength && areaStart < start + length;
}

int Nearest(int requested, int length, int areaStart, int areaLength)
{
    const long long last = std::max<long long>(areaStart, static_cast<long long>(areaStart) + areaLength - length);
    return static_cast<int>(std::clamp<long long>(requested, areaStart, last));
}

}  // namespace

WindowPosition VisibleWindowPosition(WindowPosition requested, int width, int height, ScreenArea screen)
{
    if (Overlaps(requested.left, width, screen.left, screen.width) &&
        Overlaps(requested.top, height, screen.top, screen.height))
        return requested;
    return {Nearest(requested.left, width, screen.left, screen.width),
            Nearest(requested.top, height, screen.top, screen.height)};
}
