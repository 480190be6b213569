// What became of the format job's writes, for the program's last words: how
// far they reached, and why one was refused. On Windows the job's own
// messages say it, and this stays empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct VolumeWrites {
    enum class Refusal {
        none,
        writeProtected,  // a read-only medium: a locked card
        notPermitted,    // the system's permissions, a read-only mount, an immutable image
        shortened,       // the image or device shrank since it was opened: a pulled card
        stopped,         // a stop signal came
        failed,          // the device failed the write
    };
    std::uint64_t lengthBytes = 0;   // of the volume opened last
    std::uint64_t reachedBytes = 0;  // the end of the last write that went through
    Refusal refusal = Refusal::none;
    int error = 0;                                   // errno, for notPermitted and failed
    std::optional<std::uint64_t> failedOffsetBytes;  // where the refused write began
    std::string reason;                              // for failed: why, with the sector, for a person
};
