// What Trellan.dll stores of a label, told before the question: FAT keeps
// capitals of the system's OEM code page ('_' for what it cannot hold, 11
// bytes, no blanks around), exFAT up to 11 UTF-16 units as typed.
#pragma once

#include <windows.h>

#include "trellan/builder.h"

#include <string>

struct LabelOnCard {
    std::wstring text;      // empty: the card gets no label
    bool replaced = false;  // a character typed could not be stored
};

LabelOnCard LabelAsStored(trellan::Builder builder, const std::wstring& typed);

// The text in a code page: CP_ACP for the console and the boxes, CP_UTF8
// for the library's label.
std::string CodePageText(const std::wstring& text, unsigned codePage = CP_ACP);
