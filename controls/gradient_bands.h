// Arithmetic of the gradient progress bar, kept free of Win32: the solid
// vertical bands a gradient is drawn with, where the filled part ends, and
// the percentage text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BandColor {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    bool operator==(const BandColor&) const = default;
};

// Columns [left, right) of the bar in pixels, whole height.
struct GradientBand {
    int left;
    int right;
    BandColor color;
    bool operator==(const GradientBand&) const = default;
};

struct BandPlan {
    std::vector<GradientBand> bands;  // left to right, as drawn
    int backgroundLeft;               // the background fills [backgroundLeft, width)
};

// The bands of a gradient from `start` toward `end` spread over the whole
// `width` (so a column's colour never changes as the bar grows), drawn up to
// and including the first band that ends beyond `filledLength` pixels. One
// band per step of the channel that changes most; the last band reaches the
// right edge even where the band widths round short of it.
BandPlan PlanGradient(BandColor start, BandColor end, int width, int filledLength);

// The bar shows a gradient only for lower < position <= upper.
bool ShowsGradient(int lower, int upper, int position);
// Pixels the position covers of `width`: position / upper of it, truncated.
int FilledLength(int position, int upper, int width);
// "45.00 %": the position's share of the range.
std::string PercentText(int lower, int upper, int position);
