// The progress line of the long passes (erase, capacity check, read-back):
// a bar, the share done, the speed so far and the time left at that speed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "Erasing [#########               ]  23%  18.4 MB/s  2:41 left". Speed and
// time left read "--" until something is done and a little time has passed
// (or all is done).
std::string ProgressLine(std::string_view activity, std::uint64_t doneBytes, std::uint64_t totalBytes,
                         double elapsedSeconds);

// "256 MiB in 0:14, 18.4 MB/s": the line that ends a pass.
std::string PassSummary(std::uint64_t bytes, double elapsedSeconds);

// 0:07, 12:34, 1:02:03.
std::string DurationText(double seconds);
