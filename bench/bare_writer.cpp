// The erase benchmark's yardstick: the writes an erase pass makes on a card
// (zeros in 1 MiB pieces for Complete, 8 KiB at the start of every 512 KiB
// for Optimized), then one flush, with nothing around them. Prints the
// milliseconds from opening the volume to the end of the flush. "guarded"
// asks the file's size before every write and writes only within it, as an
// erase must so that no write grows an image truncated under it.
// Usage: bare-writer.exe LETTER complete|optimized [guarded]
#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint64_t kBlockStepBytes = 512 * 1024;
constexpr std::uint64_t kCompleteWriteBytes = 1024 * 1024;
constexpr std::uint64_t kOptimizedWriteBytes = 8 * 1024;

std::uint64_t DeviceLength(HANDLE handle)
{
    GET_LENGTH_INFORMATION info{};
    DWORD returned = 0;
    if (DeviceIoControl(handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info, &returned, nullptr))
        return static_cast<std::uint64_t>(info.Length.QuadPart);
    LARGE_INTEGER size{};
    return GetFileSizeEx(handle, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

// A seek, then a write at the file pointer: under Wine a write given its
// offset in an OVERLAPPED makes a round trip to the server on top of the
// system's write (about ten times the cost of an 8 KiB write), which would
// make the yardstick slower than the platform.
bool WriteAt(HANDLE handle, std::uint64_t offset, const std::vector<char>& zeros, DWORD bytes, bool guarded)
{
    LARGE_INTEGER size{};
    if (guarded && (!GetFileSizeEx(handle, &size) || offset + bytes > static_cast<std::uint64_t>(size.QuadPart)))
        return false;
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    return SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) &&
           WriteFile(handle, zeros.data(), bytes, &written, nullptr) && written == bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4 || (std::strcmp(argv[2], "complete") != 0 && std::strcmp(argv[2], "optimized") != 0) ||
        (argc == 4 && std::strcmp(argv[3], "guarded") != 0)) {
        std::fprintf(stderr, "usage: bare-writer LETTER complete|optimized [guarded]\n");
        return 2;
    }
    const bool complete = std::strcmp(argv[2], "complete") == 0;
    const bool guarded = argc == 4;
    const std::uint64_t writeBytes = complete ? kCompleteWriteBytes : kOptimizedWriteBytes;
    const std::uint64_t strideBytes = complete ? kCompleteWriteBytes : kBlockStepBytes;
    const std::vector<char> zeros(writeBytes, 0);
    const char path[] = {'\\', '\\', '.', '\\', argv[1][0], ':', '\0'};

    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const HANDLE volume = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    const std::uint64_t length = DeviceLength(volume);
    for (std::uint64_t offset = 0; offset < length; offset += strideBytes) {
        const auto bytes = static_cast<DWORD>(length - offset < writeBytes ? length - offset : writeBytes);
        if (!WriteAt(volume, offset, zeros, bytes, guarded)) {
            std::fprintf(stderr, "write at %llu failed\n", static_cast<unsigned long long>(offset));
            return 1;
        }
    }
    const bool flushed = FlushFileBuffers(volume);
    CloseHandle(volume);
    QueryPerformanceCounter(&end);
    if (length == 0 || !flushed) {
        std::fprintf(stderr, "no card or no flush\n");
        return 1;
    }
    std::printf("%lld\n", (end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart);
    return 0;
}
