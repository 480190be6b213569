// The names scenarios give controls and commands: the IDC_ and IDM_ names of
// res/resource.h, which the driver carries inside itself, and Win32's IDOK
// and IDCANCEL, which the dialog template also uses. Suites and the program
// thus share one set.
#pragma once

#include <map>
#include <optional>
#include <string>

class ControlNames {
public:
    // Reads the `#define IDC_NAME NUMBER` lines of a resource header.
    explicit ControlNames(const std::string& header);

    // The copy of res/resource.h built into the driver.
    static ControlNames Embedded();

    bool Empty() const { return m_ids.empty(); }
    std::optional<int> Find(const std::string& name) const;
    // The name of a control id, or the number when no name has it.
    std::string NameOf(int id) const;

private:
    std::map<std::string, int> m_ids;
    std::map<int, std::string> m_names;
};
