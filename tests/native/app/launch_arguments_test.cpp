#include "app/launch_arguments.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct Case {
    const char* arguments;
    bool started;
    int top;
    int left;
};

TEST(LaunchArguments, LauncherTestAndWindowPosition)
{
    const Case cases[] = {
        {"-start top=120 left=340 END", true, 120, 340},
        {"-start", true, 0, 0},
        {"top=10 left=20 END -start", true, 10, 20},
        {"x-starting top=1 left=2 END", true, 1, 2},    // any occurrence counts
        {"-start top=120 left=340", true, 120, 0},      // no END: empty left text
        {"-start top=120", true, 0, 0},                 // top text needs "left=" behind it
        {"-start top=120 left=340END", true, 120, 34},  // last digit eaten by the missing separator
        {"-start top=120left=340 END", true, 12, 340},
        {"-start left=340 END top=120", true, 0, 340},  // negative top length
        {"-start top=-50 left=-8 END", true, -50, -8},
        {"-start top=abc left= END", true, 0, 0},
        {"-start top= 77 left=\t9 END", true, 77, 9},              // atoi skips leading blanks
        {"-start top=1 left=2 END top=5 left=6 END", true, 1, 2},  // first occurrences win
        {"-start top=99999999999999999999 left=-99999999999999999999 END", true, INT_MAX, INT_MIN},
        {"-start top=2147483648 left=-2147483649 END", true, INT_MAX, INT_MIN},
        {"-START top=1 left=2 END", false, 0, 0},
        {"start", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        const LaunchArguments parsed = ParseLaunchArguments(c.arguments);
        EXPECT_EQ(parsed.startedByLauncher, c.started) << c.arguments;
        EXPECT_EQ(parsed.top, c.top) << c.arguments;
        EXPECT_EQ(parsed.left, c.left) << c.arguments;
    }
}

TEST(LaunchArguments, PositionIsIgnoredWithoutTheLauncherWord)
{
    const LaunchArguments parsed = ParseLaunchArguments("top=120 left=340 END");
    EXPECT_FALSE(parsed.startedByLauncher);
    EXPECT_EQ(parsed.top, 0);
    EXPECT_EQ(parsed.left, 0);
}

TEST(Relaunch, MarkerFirstIsTheRelaunchedInstance)
{
    const char* relaunched[] = {"Veltrane.exe", "runas", "-start"};
    const char* launched[] = {"Veltrane.exe", "-start", "runas"};
    const char* marker_case[] = {"Veltrane.exe", "RUNAS"};
    const char* alone[] = {"Veltrane.exe"};
    EXPECT_TRUE(IsRelaunchedInstance(3, relaunched));
    EXPECT_FALSE(IsRelaunchedInstance(3, launched));
    EXPECT_FALSE(IsRelaunchedInstance(2, marker_case));
    EXPECT_FALSE(IsRelaunchedInstance(1, alone));
}

TEST(Relaunch, ElevatedCopyKeepsTheLauncherArguments)
{
    const std::string parameters = RelaunchParameters("-start top=120 left=340 END");
    EXPECT_EQ(parameters, "runas -start top=120 left=340 END");
    const LaunchArguments parsed = ParseLaunchArguments(parameters);
    EXPECT_TRUE(parsed.startedByLauncher);
    EXPECT_EQ(parsed.top, 120);
    EXPECT_EQ(parsed.left, 340);
    EXPECT_EQ(RelaunchParameters(""), "runas");
}

}  // namespace
