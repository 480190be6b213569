#include "app/launch_arguments.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// Substring with the clamping the launcher values rely on: a negative length
// or a start past the end gives "", a length past the end is cut.
std::string ClampedSubstring(std::string_view text, long long start, long long length)
{
    if (length <= 0 || start < 0 || start >= static_cast<long long>(text.size()))
        return {};
    return std::string(text.substr(static_cast<size_t>(start), static_cast<size_t>(length)));
}

long long IndexOf(std::string_view text, std::string_view word)
{
    const size_t at = text.find(word);
    return at == std::string_view::npos ? -1 : static_cast<long long>(at);
}

// The value text runs from just behind "<name>" up to, not including, the one
// separator character in front of the terminator.
std::string ValueText(std::string_view arguments, std::string_view name, std::string_view terminator)
{
    const long long start = IndexOf(arguments, name) + static_cast<long long>(name.size());
    const long long end = IndexOf(arguments, terminator);
    return ClampedSubstring(arguments, start, end - start - 1);
}

// As atoi reads a number, but a value beyond int saturates instead of being
// undefined: a 20-digit position is simply far off the screen.
int NumberOf(const std::string& text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

LaunchArguments ParseLaunchArguments(std::string_view arguments)
{
    LaunchArguments result;
    result.startedByLauncher = arguments.find("-start") != std::string_view::npos;
    if (!result.startedByLauncher)
        return result;
    if (arguments.find("top=") != std::string_view::npos)
        result.top = NumberOf(ValueText(arguments, "top=", "left="));
    if (arguments.find("left=") != std::string_view::npos)
        result.left = NumberOf(ValueText(arguments, "left=", "END"));
    return result;
}

bool IsRelaunchedInstance(int argc, const char* const* argv)
{
    return argc >= 2 && argv[1] != nullptr && std::string_view(argv[1]) == kRelaunchMarker;
}

std::string RelaunchParameters(std::string_view arguments)
{
    std::string parameters(kRelaunchMarker);
    if (!arguments.empty()) {
        parameters += ' ';
        parameters += arguments;
    }
    return parameters;
}
