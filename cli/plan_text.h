// The lines shown before the question: the card, its size, and the format
// the job will give it.
#pragma once

#include "cli/command_line.h"
#include "drives/disk_geometry.h"

#include <string>
#include <string_view>

// device: how the card is named, e.g. "/dev/sdc (block device)" or "E:
// (removable drive)"; geometry: what the job will read of it.
std::string PlanText(std::string_view device, const DiskGeometry& geometry, const CommandLine& line);
