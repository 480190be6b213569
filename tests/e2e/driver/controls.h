// One control of the dialog read and operated from outside, as the user's
// eye and hand would.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Where the control sits in the dialog's client area.
RECT RectInDialog(HWND dialog, HWND control);
// What is left inside the control's frame.
SIZE ClientSize(HWND control);

bool IsChecked(HWND button);
void ClickButton(HWND button);
// Sets an edit's text as typing would leave it.
void SetText(HWND control, const std::string& text);

std::vector<std::string> ComboEntries(HWND combo);
// The selected entry's index, or nothing when none is.
std::optional<LRESULT> ComboSelection(HWND combo);
// Picks the entry showing `text` and notifies the dialog as a user's pick
// does; false when no entry shows it.
bool PickComboEntry(HWND combo, const std::string& text);

LRESULT ProgressPosition(HWND bar);
LRESULT ProgressUpper(HWND bar);

// A fingerprint of what the control shows on screen, to compare states.
unsigned long long PixelFingerprint(HWND control);
