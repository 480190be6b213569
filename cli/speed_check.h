// --speed on a card the program holds: the measurement, its chart on
// standard output, and the verdicts against the class the user names and
// the classes the card claims; all noted for the report.
#pragma once

#include <cstdint>
#include <string>

class CardBlocks;

// className: --class, "" for none. False when the card stopped answering;
// standard error says where.
bool CheckSpeed(CardBlocks& card, std::uint64_t lengthBytes, const std::string& className);
