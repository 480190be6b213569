// Why a write to a card failed, for a person, from the errno it failed with:
// the reasons a user can act on (a full disk under the image, a failing or
// pulled card, another program's hold) in words, anything else as the
// system says it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// sector: the first sector of the write, where known.
std::string WriteFailureText(int error, std::optional<std::uint64_t> sector);
