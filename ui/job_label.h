// The format label on its way from the edit to the library: read as the
// UTF-16 the user typed, handed over in the ANSI code page where that holds
// it and in UTF-8 otherwise, so that exFAT stores it as typed; and, for a
// FAT card, what the card will store where its code page cannot hold a
// character, for the user to read before the question.
#pragma once

#include <windows.h>

#include "trellan/builder.h"

#include <array>
#include <optional>
#include <string>

// The edit's text, at most 15 UTF-16 units (its buffer holds 16 with the NUL).
std::wstring ReadTypedLabel(HWND dialog, int editId);

// NUL-terminated into label; cut between characters when it does not fit.
void StoreLabelForLibrary(const std::wstring& typed, std::array<char, 64>& label);

// nullopt when the builder stores every character typed (FAT in capitals);
// otherwise a note that says what it will store.
std::optional<std::string> FatLabelNote(trellan::Builder builder, const std::wstring& typed);
