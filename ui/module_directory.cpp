#include "ui/module_directory.h"

std::string ModuleDirectoryOf(std::string_view modulePath)
{
    const size_t slash = modulePath.find_last_of('\\');
    if (slash == std::string_view::npos || slash == 0)
        return {};
    return std::string(modulePath.substr(0, slash));
}
