// Whether the card library can lay out a card of a given length with the
// builder the job will call; asked before anything is written, so a card the
// builder would refuse is not zeroed by the trial write first.
#pragma once

#include "format/format_plan.h"

#include <cstdint>
#include <optional>
#include <string_view>

enum class LayoutRefusal { tooSmall, tooLarge };

// nullopt when a layout fits. lengthBytes is the card's real length.
std::optional<LayoutRefusal> CheckLayout(trellan::Builder builder, std::uint64_t lengthBytes);

// What the user is told, in a box with the program's title.
std::string_view LayoutRefusalText(LayoutRefusal refusal);
