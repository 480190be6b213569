// veltrane-format's --help: one text per system, sharing what the options
// and the job do alike.
#pragma once

#include "cli/command_line.h"

#include <string>

std::string HelpText(ToolSystem tool);
