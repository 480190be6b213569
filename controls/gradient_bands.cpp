#include "controls/gradient_bands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

int ChannelAt(int start, float step, int band)
{
    // Double precision and truncation toward zero, so that 60 + 90 x 0.8333333
    // stays just below 135.
    return static_cast<int>(start + band * static_cast<double>(step));
}

}  // namespace

BandPlan PlanGradient(BandColor start, BandColor end, int width, int filledLength)
{
    BandPlan fill{{}, width};
    if (width <= 0)
        return fill;
    const int deltaRed = end.red - start.red;
    const int deltaGreen = end.green - start.green;
    const int deltaBlue = end.blue - start.blue;
    const int bandCount = std::max({std::abs(deltaRed), std::abs(deltaGreen), std::abs(deltaBlue)});
    if (bandCount == 0) {
        // No gradient to draw: a solid bar, as if made of 1-pixel bands.
        const int right = std::min(std::max(filledLength, 0) + 1, width);
        fill.bands.push_back({0, right, start});
        fill.backgroundLeft = right;
        return fill;
    }
    const float bandWidth = static_cast<float>(width) / static_cast<float>(bandCount);
    const float stepRed = static_cast<float>(deltaRed) / static_cast<float>(bandCount);
    const float stepGreen = static_cast<float>(deltaGreen) / static_cast<float>(bandCount);
    const float stepBlue = static_cast<float>(deltaBlue) / static_cast<float>(bandCount);
    for (int band = 0; band < bandCount; ++band) {
        const bool last = band == bandCount - 1;
        const int left = static_cast<int>(band * static_cast<double>(bandWidth));
        // Float band widths can sum to a hair under the width; the last band
        // takes the columns that would otherwise stay unpainted.
        const int right = last ? width : static_cast<int>((band + 1) * static_cast<double>(bandWidth));
        const BandColor color{static_cast<std::uint8_t>(ChannelAt(start.red, stepRed, band)),
                              static_cast<std::uint8_t>(ChannelAt(start.green, stepGreen, band)),
                              static_cast<std::uint8_t>(ChannelAt(start.blue, stepBlue, band))};
        fill.bands.push_back({left, right, color});
        if (right > filledLength) {
            fill.backgroundLeft = right;
            break;
        }
    }
    return fill;
}

bool ShowsGradient(int lower, int upper, int position)
{
    return position > lower && position <= upper;
}

int FilledLength(int position, int upper, int width)
{
    const double share = static_cast<double>(position) / upper * width;
    // Only a negative lower bound could bring a zero or negative upper bound
    // here; keep the length on the bar whatever the ratio.
    if (!(share > 0))
        return 0;
    return std::min(static_cast<int>(static_cast<float>(share)), width);
}

std::string PercentText(int lower, int upper, int position)
{
    const float scaled = static_cast<float>((static_cast<double>(position) - lower) * 100.0);
    const float percent = static_cast<float>(scaled / (static_cast<double>(upper) - lower));
    char text[32];
    std::snprintf(text, sizeof text, "%3.02f %%", static_cast<double>(percent));
    return text;
}
