// The program's own file version, from its version resource.
#pragma once

#include <optional>

struct FileVersion {
    int major;
    int minor;
};

// Major and minor of the main module's file version; nothing when the
// module has no version resource.
std::optional<FileVersion> ModuleFileVersion();
