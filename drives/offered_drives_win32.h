// The drives the tool offers: removable drives D: to Z:, less the devices
// the card library marks as never to be offered.
#pragma once

#include <vector>

std::vector<char> OfferedDriveLetters();
