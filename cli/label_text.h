// The label a card gets, as a person reads it: FAT keeps capitals of an OEM
// code page and drops blanks around it, exFAT keeps up to 11 UTF-16 units
// as typed, so what is stored may differ from what was typed.
#pragma once

#include "trellan/builder.h"
#include "trellan/oem_code_pages.h"

#include <string>
#include <string_view>

// In UTF-8; empty when the card gets no label.
std::string StoredLabelText(trellan::Builder builder, std::string_view typedUtf8, trellan::OemCodePage page);

// For the plan: label "HOLIDAY", with the typed text beside it where it
// differs (label "HOLIDAY", typed "holiday"), or no label.
std::string LabelLine(std::string_view storedUtf8, std::string_view typedUtf8);
