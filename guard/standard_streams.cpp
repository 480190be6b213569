#include "guard/standard_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool OpenClosedStandardStreams()
{
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF) {
            continue;
        }
        // open takes the lowest free number, which is this one: the lower ones are open.
        const int opened = ::open("/dev/null", descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != descriptor) {
            return false;
        }
    }
    return true;
}
