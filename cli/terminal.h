// Whether a stream goes to a person's terminal or console, where a progress
// line is redrawn in place, rather than to a file or a pipe.
#pragma once

#include <cstdio>

bool IsTerminal(std::FILE* stream);
