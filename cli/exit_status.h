// What veltrane-format's exit status says; --help lists the same table.
#pragma once

enum ExitStatus : int {
    kExitFormatted = 0,
    kExitFormatFailed = 1,  // the trial write, the builder or the device failed
    kExitUsage = 2,
    kExitNotConfirmed = 3,  // the question was answered no; nothing was written
    kExitUnusable = 4,      // cannot open or read the path, or zero length
    kExitNotRemovable = 5,  // a fixed disk; --force overrides
    kExitMounted = 6,       // holds a mounted file system; --force overrides
    kExitCardFaulty = 7,    // failed --verify, or --check-capacity without --force
    kExitBusy = 8,          // another program is formatting the card, or the system holds it; nothing was written
    kExitStopped = 9,       // a stop signal ended the erase; stderr says how far it got
    kExitSlowCard = 10,     // formatted, but slower than a speed class it was judged against (--speed)
};
