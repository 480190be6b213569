#include "control_names.h"

#include <windows.h>

#include <sstream>

#include "control_names_resource.h"
#include "script_line.h"

namespace {

void Add(std::map<std::string, int>& ids, std::map<int, std::string>& names, const std::string& name, int id)
{
    ids[name] = id;
    names.emplace(id, name);
}

}  // namespace

ControlNames::ControlNames(const std::string& header)
{
    std::istringstream lines(header);
    for (std::string line; std::getline(lines, line);) {
        const auto words = SplitWords(line);
        const bool named = words.size() == 3 && (words[1].rfind("IDC_", 0) == 0 || words[1].rfind("IDM_", 0) == 0);
        if (!named || words[0] != "#define")
            continue;
        if (const auto id = ParseInteger(words[2]))
            Add(m_ids, m_names, words[1], static_cast<int>(*id));
    }
    // Only when the header named controls: an empty table must stay empty,
    // so that a lost header is noticed.
    if (!m_ids.empty()) {
        Add(m_ids, m_names, "IDOK", IDOK);
        Add(m_ids, m_names, "IDCANCEL", IDCANCEL);
    }
}

ControlNames ControlNames::Embedded()
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_CONTROL_NAMES), RT_RCDATA);
    HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
    const char* text = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (text == nullptr)
        return ControlNames(std::string());
    return ControlNames(std::string(text, SizeofResource(nullptr, found)));
}

std::optional<int> ControlNames::Find(const std::string& name) const
{
    const auto found = m_ids.find(name);
    if (found == m_ids.end())
        return std::nullopt;
    return found->second;
}

std::string ControlNames::NameOf(int id) const
{
    const auto found = m_names.find(id);
    return found != m_names.end() ? found->second : std::to_string(id);
}
