#include "ui/module_directory.h"

namespace {

template <typename Char>
std::basic_string<Char> DirectoryOf(std::basic_string_view<Char> modulePath)
{
    const size_t slash = modulePath.find_last_of(Char('\\'));
    if (slash == std::basic_string_view<Char>::npos || slash == 0)
        return {};
    return std::basic_string<Char>(modulePath.substr(0, slash));
}

}  // namespace

std::string ModuleDirectoryOf(std::string_view modulePath)
{
    return DirectoryOf(modulePath);
}

std::wstring ModuleDirectoryOf(std::wstring_view modulePath)
{
    return DirectoryOf(modulePath);
}
