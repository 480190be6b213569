// Everything that differs between the erase modes, one row per mode: the
// dialog's check box and caption, the share of each block the pass zeroes,
// and what the command line calls it. A new erase mode is a new row here,
// its resource ids and its tests.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "res/resource.h"

enum class EraseMode { none, optimized, complete };

// The erase pass steps through the card in 512 KiB blocks.
inline constexpr std::uint32_t kEraseBlockStepBytes = 512 * 1024;
inline constexpr std::uint32_t kOptimizedEraseBytes = 8 * 1024;

struct EraseModeRow {
    EraseMode mode;
    std::string_view name;   // on the command line: "optimized"
    std::string_view title;  // for people, as its caption reads: "Optimized Format"
    int checkBoxId;          // the check box that chooses it
    int captionId;           // the check box's caption
    int captionStringId;     // the caption's text, also its name for people
    int hintStringId;        // the box shown when it is checked
    int columnPixels;        // the dialog column of its check box and caption
    // Zeroed at the start of every 512 KiB block.
    std::uint32_t bytesPerBlock;
    // What it zeroes, for --help.
    std::string_view help;
};

inline constexpr int kEraseModeCount = 2;

// In the order the dialog reads the check boxes: the first checked wins.
// clang-format off
inline constexpr std::array<EraseModeRow, kEraseModeCount> kEraseModeRows = {{
    {EraseMode::optimized, "optimized", "Optimized Format", IDC_OPTIMIZED_FORMAT, IDC_OPTIMIZED_TEXT, IDS_OPTIMIZED_FORMAT,
     IDS_OPTIMIZED_HINT, 40, kOptimizedEraseBytes, "zeroes the first 8 KiB of every 512 KiB"},
    {EraseMode::complete, "complete", "Complete Format", IDC_COMPLETE_FORMAT, IDC_COMPLETE_TEXT, IDS_COMPLETE_FORMAT,
     IDS_COMPLETE_HINT, 250, kEraseBlockStepBytes, "zeroes the whole device and takes as long as writing it"},
}};
// clang-format on

const EraseModeRow* EraseModeRowOf(EraseMode mode);
const EraseModeRow* EraseModeRowOfCheckBox(int checkBoxId);
const EraseModeRow* EraseModeNamed(std::string_view name);

// The mode of the first checked box in the table's order; none when no
// box is checked. The dialog keeps them exclusive.
template <class IsChecked>
EraseMode EraseModeFromChecks(IsChecked isChecked)
{
    for (const EraseModeRow& row : kEraseModeRows) {
        if (isChecked(row.checkBoxId))
            return row.mode;
    }
    return EraseMode::none;
}
