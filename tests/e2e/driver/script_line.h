// The words of one scenario line and the values written in them.
#pragma once

#include <optional>
#include <string>
#include <vector>

std::vector<std::string> SplitWords(const std::string& line);
// The text behind the first `count` words, as written; a value in double
// quotes keeps its blanks ("Success " ends in one).
std::string TextAfterWords(const std::string& line, size_t count);
// A whole word read as a decimal or 0x-hexadecimal integer; nothing when any
// of it is not a number, so that a typing slip is not taken for 0.
std::optional<long long> ParseInteger(const std::string& word);
