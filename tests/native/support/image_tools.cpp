#include "image_tools.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace test_support {

CommandResult run_command(const std::string& command)
{
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    while (const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
        result.output.append(buffer.data(), count);
    }
    const int status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ScratchDirectory::ScratchDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "veltrane-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

bool make_sparse_file(const std::filesystem::path& path, std::uint64_t length_bytes)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) {
        return false;
    }
    const bool sized = ::ftruncate(fd, static_cast<off_t>(length_bytes)) == 0;
    return ::close(fd) == 0 && sized;
}

namespace {

bool copy_data_extents(int in, int out, off_t begin, off_t end)
{
    std::vector<char> buffer(1 << 20);
    off_t data = ::lseek(in, begin, SEEK_DATA);
    while (data >= 0 && data < end) {
        const off_t hole = std::min<off_t>(::lseek(in, data, SEEK_HOLE), end);
        for (off_t at = data; at < hole;) {
            const auto count = static_cast<std::size_t>(std::min<off_t>(hole - at, static_cast<off_t>(buffer.size())));
            if (::pread(in, buffer.data(), count, at) != static_cast<ssize_t>(count) ||
                ::pwrite(out, buffer.data(), count, at - begin) != static_cast<ssize_t>(count)) {
                return false;
            }
            at += static_cast<off_t>(count);
        }
        data = ::lseek(in, hole, SEEK_DATA);
    }
    return true;
}

}  // namespace

bool extract_sparse(const std::filesystem::path& from, std::uint64_t start_bytes, std::uint64_t length_bytes,
                    const std::filesystem::path& to)
{
    if (!make_sparse_file(to, length_bytes)) {
        return false;
    }
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY);
    const bool copied =
        in >= 0 && out >= 0 &&
        copy_data_extents(in, out, static_cast<off_t>(start_bytes), static_cast<off_t>(start_bytes + length_bytes));
    if (in >= 0) {
        ::close(in);
    }
    if (out >= 0 && ::close(out) != 0) {
        return false;
    }
    return copied;
}

}  // namespace test_support
