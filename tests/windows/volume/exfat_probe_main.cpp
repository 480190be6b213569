// Prints what CheckExFatSupport answers on this system, for the suite to
// compare across the Windows versions a Wine prefix can pretend to be.
#include "drives/exfat_support_win32.h"

#include <cstdio>

int main()
{
    std::printf("%d\n", CheckExFatSupport());
    return 0;
}
