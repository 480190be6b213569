// String-table entries of the program's module.
#pragma once

#include <string>

// The entry's text, or "" when there is none.
std::string LoadResourceString(unsigned id);
