// One job per card, across programs: an exclusive claim on what stores the
// card, taken before the first write and held to the end of the job, and
// the one descriptor every read and write of the job goes through. A block
// device is opened with O_EXCL, which the kernel refuses while anything else
// holds it so (a mounted file system, another format, mkfs, a partition of
// it or its whole disk); an image file carries an flock that every program
// of ours takes. Whatever its names, a card stored in a file (an image, a
// loop device over it, at an offset or not) also carries a lock on the
// file's byte range it occupies, so that a loop device and its image, or
// two loop devices over one file, are one card.
#pragma once

#include "guard/target_inspection.h"

#include <cstdint>
#include <string>

class CardClaim {
public:
    enum class Refusal { none, busy, failed };

    // Claims the file or device the target was identified as; a path that
    // names something else by now is refused. The card is opened once,
    // read-write, or read-only when only that is permitted (a locked card):
    // the job's trial write reports it.
    CardClaim(const std::string& path, const TargetIdentity& target);
    ~CardClaim();
    CardClaim(const CardClaim&) = delete;
    CardClaim& operator=(const CardClaim&) = delete;

    // none while the claim is held.
    Refusal Refused() const { return refusal_; }
    // For a person, when the claim failed.
    const std::string& Problem() const { return problem_; }

    // The card, for every read and write of the job; owned by the claim.
    int Descriptor() const { return descriptor_; }
    // Why the read-write open failed (errno), 0 when it did not.
    int ReadWriteError() const { return readWriteError_; }

    // How often the card has been seen to change since the claim: the path
    // naming another file or device, or the card's length differing from
    // what it was at the claim. Once changed, it stays changed.
    std::uint32_t ChangeCount() const;

private:
    void ClaimStorage();

    std::string path_;
    TargetIdentity target_;
    int descriptor_ = -1;
    int storageDescriptor_ = -1;  // the file a loop device reads, holding its range lock
    int readWriteError_ = 0;
    std::uint64_t claimedLengthBytes_ = 0;
    mutable std::uint32_t changes_ = 0;
    Refusal refusal_ = Refusal::none;
    std::string problem_;
};

// What a program says when another holds the card.
inline constexpr const char* kCardBusyText =
    "the card is being formatted by another program, or the system holds it (a mounted file system)";
