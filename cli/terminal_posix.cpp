#include "cli/terminal.h"

#include <unistd.h>

bool IsTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) != 0;
}
