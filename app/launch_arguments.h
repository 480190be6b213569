// The contract with the host launcher: it starts the tool with "-start" and,
// optionally, the window position as "top=<y> left=<x> END".
#pragma once

#include <string>
#include <string_view>

struct LaunchArguments {
    bool startedByLauncher = false;
    int top = 0;
    int left = 0;
};

// Reads the argument string (the command line behind the program name).
// The rules are deliberately byte-wise and lenient: the launcher has always
// passed its values this way, and a malformed value simply reads as 0.
// Values beyond int read as its nearest end.
LaunchArguments ParseLaunchArguments(std::string_view arguments);

// The relaunched instance is told apart by "runas" as its first argument.
inline constexpr std::string_view kRelaunchMarker = "runas";

bool IsRelaunchedInstance(int argc, const char* const* argv);

// Parameters for the elevated copy: the marker first, then what this instance
// was given, so that the copy still passes the launcher test.
std::string RelaunchParameters(std::string_view arguments);
