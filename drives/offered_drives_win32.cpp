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
    // One call names the letters in use; asking each of the others for its
    // type only to hear it has no root costs a system round trip apiece.
    const DWORD present = GetLogicalDrives();
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        if ((present & (DWORD{1} << (letter - 'A'))) == 0 || GetDriveTypeA(root) != DRIVE_REMOVABLE)
            continue;
        unsigned char identity = 0;
        if (Trellan_ProbeDevice(letter, &identity) != 0 && (identity & 0x0F) == kNeverOffer)
            continue;
        letters.push_back(letter);
    }
    return letters;
}
