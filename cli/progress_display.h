// A pass's progress on stderr: on a terminal one line redrawn in place with
// speed and time left; either way a closing line with the pass's figures.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class ProgressDisplay {
public:
    ProgressDisplay(std::FILE* output, std::string activity, std::uint64_t totalBytes);

    void Update(std::uint64_t doneBytes);
    // Ends the bar and prints "<doneText>: <size> in <time>, <speed>".
    void Finish(std::string_view doneText, std::uint64_t doneBytes);

private:
    double ElapsedSeconds() const;

    std::FILE* output_;
    std::string activity_;
    std::uint64_t totalBytes_;
    bool terminal_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
    bool drawn_ = false;
    std::size_t drawnWidth_ = 0;  // of the line on screen, in characters
};
