#include "drives/offered_drives_win32.h"

#include <windows.h>

#include "trellan/trellan.h"

namespace {
// Low nibble of the probe's byte for the system's own disk.
constexpr unsigned char kNeverOffer = 0x0C;
}  // namespace

std::vector<char> OfferedDriveLetters()
{
    std::vector<char> letters;
    // One call names the letters in use; asking each of the 23 letters for
    // its type instead took most of the start-up's drive scan (under Wine,
    // one to several milliseconds a letter).
    const DWORD lettersInUse = GetLogicalDrives();
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        if ((lettersInUse >> (letter - 'A') & 1) == 0)
            continue;
        const char root[] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DRIVE_REMOVABLE)
            continue;
        unsigned char identity = 0;
        if (Trellan_ProbeDevice(letter, &identity) != 0 && (identity & 0x0F) == kNeverOffer)
            continue;
        letters.push_back(letter);
    }
    return letters;
}
