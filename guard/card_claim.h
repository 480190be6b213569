// One job per card, across programs: an exclusive claim on the path, taken
// before the first write and held to the end of the job. A block device is
// opened with O_EXCL, which the kernel refuses while anything else holds it
// so (a mounted file system, another format, mkfs); an image file carries an
// flock that every program of ours takes.
#pragma once

#include "guard/target_inspection.h"

#include <string>

class CardClaim {
public:
    enum class Refusal { none, busy, failed };

    // Claims the file or device the target was identified as; a path that
    // names something else by now is refused.
    CardClaim(const std::string& path, const TargetIdentity& target);
    ~CardClaim();
    CardClaim(const CardClaim&) = delete;
    CardClaim& operator=(const CardClaim&) = delete;

    // none while the claim is held.
    Refusal Refused() const { return refusal_; }
    // For a person, when the claim failed.
    const std::string& Problem() const { return problem_; }

private:
    int descriptor_ = -1;
    Refusal refusal_ = Refusal::none;
    std::string problem_;
};

// What a program says when another holds the card.
inline constexpr const char* kCardBusyText =
    "the card is being formatted by another program, or the system holds it (a mounted file system)";
