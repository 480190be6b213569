#include "format/cli/mount_table.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace {

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) {
            fields.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return fields;
}

// Blanks, tabs, newlines and backslashes in paths appear as \ooo.
std::string Unescape(std::string_view field)
{
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        unsigned code = 0;
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::from_chars(field.data() + i + 1, field.data() + i + 4, code, 8).ptr == field.data() + i + 4) {
            text.push_back(static_cast<char>(code));
            i += 3;
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

bool ParseDeviceNumber(std::string_view field, unsigned& major, unsigned& minor)
{
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const char* end = field.data() + field.size();
    const auto [afterMajor, majorError] = std::from_chars(field.data(), field.data() + colon, major);
    const auto [afterMinor, minorError] = std::from_chars(field.data() + colon + 1, end, minor);
    return majorError == std::errc{} && minorError == std::errc{} && afterMajor == field.data() + colon &&
           afterMinor == end;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    // Fields: id, parent id, major:minor, root, mount point, options, any
    // optional fields, "-", file-system type, source, super options.
    constexpr std::size_t kDeviceField = 2;
    constexpr std::size_t kMountPointField = 4;
    constexpr std::size_t kFirstOptionalField = 6;

    std::vector<MountEntry> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::vector<std::string_view> fields = SplitFields(text.substr(start, end - start));
        start = end + 1;

        std::size_t separator = kFirstOptionalField;
        while (separator < fields.size() && fields[separator] != "-") {
            ++separator;
        }
        MountEntry entry;
        if (separator + 2 >= fields.size() ||
            !ParseDeviceNumber(fields[kDeviceField], entry.major, entry.minor)) {
            continue;
        }
        entry.mountPoint = Unescape(fields[kMountPointField]);
        entry.source = Unescape(fields[separator + 2]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<MountEntry> ReadMountTable()
{
    std::ifstream file("/proc/self/mountinfo");
    std::ostringstream text;
    text << file.rdbuf();
    return ParseMountInfo(text.str());
}
