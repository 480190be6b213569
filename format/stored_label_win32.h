// What Trellan.dll stores of a label, told before the question: FAT keeps
// capitals of the system's OEM code page ('_' for what it cannot hold, 11
// bytes, no blanks around), exFAT up to 11 UTF-16 units as typed.
#pragma once

#include "trellan/builder.h"

#include <string>

struct LabelOnCard {
    std::wstring text;      // empty: the card gets no label
    bool replaced = false;  // a character typed could not be stored
};

LabelOnCard LabelAsStored(trellan::Builder builder, const std::wstring& typed);

// For the console, in the system's ANSI code page.
std::string AnsiText(const std::wstring& text);
