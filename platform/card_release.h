// Ending a format's hold on the card: Windows keeps the partition layout it
// last read, so once the card's volumes are unlocked and closed, the disk
// handle has the layout the build wrote read again, or set.
#pragma once

#include <windows.h>

// Through the disk handle, with no volume of the card locked or open: asks
// for a re-read; where the layout Windows then reports differs from the
// first entry of the MBR on sector 0, sets the layout to exactly that entry
// and puts the MBR's own bytes back; then waits a few seconds at most for
// the letter's volume to arrive where the entry says. False when Windows
// still shows another layout. A sector 0 without a partition table asks
// for the re-read only.
bool ShowNewLayout(HANDLE disk, char driveLetter);
