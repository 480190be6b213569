// What the image-file tests share: running a tool, a directory of their own,
// sparse images, and lifting a partition out of one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace test_support {

struct CommandResult {
    int exit_code = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command and waits for it; exit_code is -1 if it did not exit.
CommandResult run_command(const std::string& command);

// A fresh directory under the system's temporary directory, removed with
// everything in it when this goes out of scope.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Creates or truncates the file and makes it length_bytes long, all hole.
bool make_sparse_file(const std::filesystem::path& path, std::uint64_t length_bytes);

// Copies bytes [start_bytes, start_bytes + length_bytes) of a sparse file
// into a new sparse file of length_bytes, data extents only, so a 2 TiB card
// costs what was written to it. fsck.fat and fsck.exfat take no offset.
bool extract_sparse(const std::filesystem::path& from, std::uint64_t start_bytes, std::uint64_t length_bytes,
                    const std::filesystem::path& to);

}  // namespace test_support
