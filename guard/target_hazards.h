// What makes writing to a target unsafe, each with its text for a person:
// a block device whose medium is not removable (or cannot be told so), and
// a mounted file system the write would destroy. The command lines refuse
// them unless --force is given; the texts and the checks are the same.
#pragma once

#include "guard/target_inspection.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TargetHazard {
    enum class Kind { notRemovable, mounted };
    Kind kind = Kind::mounted;
    std::string text;
};

// In the order they are reported; empty when the target is safe to write.
std::vector<TargetHazard> FindHazards(const TargetIdentity& target);

// Tells each hazard through complain, with what --force makes of it. The
// kind of the hazard that refuses the write; nullopt when it may go on.
std::optional<TargetHazard::Kind> RefusingHazard(const TargetIdentity& target, bool force,
                                                 const std::function<void(const std::string&)>& complain);
