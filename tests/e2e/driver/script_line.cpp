#include "script_line.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

std::vector<std::string> SplitWords(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

std::string TextAfterWords(const std::string& line, size_t count)
{
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        at = line.find_first_not_of(" \t", at);
        at = line.find_first_of(" \t", at);
        if (at == std::string::npos)
            return {};
    }
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos)
        return {};
    std::string rest = line.substr(at);
    rest.erase(rest.find_last_not_of(" \t\r") + 1);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
        rest = rest.substr(1, rest.size() - 2);
    return rest;
}

std::optional<long long> ParseInteger(const std::string& word)
{
    if (word.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(word.c_str(), &end, 0);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return value;
}
