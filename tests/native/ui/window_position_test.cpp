#include "ui/window_position.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

constexpr int kWidth = 485;
constexpr int kHeight = 403;

TEST(WindowPosition, AWindowOffEveryScreenMovesToTheNearestFullyVisiblePlace)
{
    const ScreenArea screen{0, 0, 1024, 768};
    // Two monitors, the second left of the first.
    const ScreenArea wide{-1280, 0, 2560, 1024};
    const struct {
        const char* what;
        WindowPosition requested;
        ScreenArea screen;
        WindowPosition placed;
    } cases[] = {
        {"as given", {340, 120}, screen, {340, 120}},
        {"partly off to the right stays", {1000, 120}, screen, {1000, 120}},
        {"partly off the top stays", {10, -402}, screen, {10, -402}},
        {"one pixel off the right edge", {1024, 120}, screen, {1024 - kWidth, 120}},
        {"just off the bottom", {10, 768}, screen, {10, 768 - kHeight}},
        {"far left", {-99999, 120}, screen, {0, 120}},
        {"far off both ways", {INT_MIN, INT_MAX}, screen, {0, 768 - kHeight}},
        {"ends of int", {INT_MAX, INT_MIN}, screen, {1024 - kWidth, 0}},
        {"on the left monitor", {-1000, 50}, wide, {-1000, 50}},
        {"left of the left monitor", {-99999, 50}, wide, {-1280, 50}},
        {"screen smaller than the window", {5000, 5000}, ScreenArea{0, 0, 400, 300}, {0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VisibleWindowPosition(c.requested, kWidth, kHeight, c.screen), c.placed) << c.what;
}

}  // namespace
