// faulty-card: a FUSE file system holding one file, card.img, that behaves
// like a failing card over a backing image. It reports reportedBytes; past
// the backing image's length it wraps onto its start, as a card that claims
// more than it holds does; with dropEvery N it acknowledges every Nth write
// and stores nothing, as a card that loses writes does. Reads and writes
// bypass the kernel's cache, so every read shows what was kept.
//
//     faulty-card BACKING REPORTED_BYTES DROP_EVERY MOUNTPOINT
//
// Options after the mount point make it a counterfeit or a slow card:
//     --cache BYTES          answers reads from a cache of its latest writes
//     --slow FROM:TO:RATE    writes to [FROM, TO) go at RATE bytes a second
//     --small-write-delay US writes under 64 KiB take US microseconds more
//     --fail-writes FROM:ERRNO writes reaching FROM or past it fail with
//                            ERRNO (28 a full disk, 5 an I/O error)
//
// It runs in the foreground until SIGTERM, then unmounts.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "write_cache.h"

namespace {

constexpr std::string_view kCardPath = "/card.img";

struct Card {
    int backing = -1;
    std::uint64_t backingBytes = 0;
    std::uint64_t reportedBytes = 0;
    std::uint64_t dropEvery = 0;
    std::uint64_t writes = 0;
    std::unique_ptr<WriteCache> cache;
    std::uint64_t slowFrom = 0;
    std::uint64_t slowTo = 0;
    std::uint64_t slowBytesPerSecond = 0;
    std::uint64_t smallWriteDelayMicroseconds = 0;
    std::uint64_t failingFrom = 0;
    int failingErrno = 0;  // 0: writes do not fail
};

Card card;

int GetAttributes(const char* path, struct stat* status, fuse_file_info*)
{
    *status = {};
    if (std::string_view(path) == "/") {
        status->st_mode = S_IFDIR | 0755;
        status->st_nlink = 2;
        return 0;
    }
    if (std::string_view(path) != kCardPath) {
        return -ENOENT;
    }
    status->st_mode = S_IFREG | 0644;
    status->st_nlink = 1;
    status->st_size = static_cast<off_t>(card.reportedBytes);
    return 0;
}

int ReadDirectory(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    if (std::string_view(path) != "/") {
        return -ENOENT;
    }
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, kCardPath.data() + 1, nullptr, 0, fuse_fill_dir_flags{});
    return 0;
}

int Open(const char* path, fuse_file_info* file)
{
    if (std::string_view(path) != kCardPath) {
        return -ENOENT;
    }
    file->direct_io = 1;
    return 0;
}

// Calls transfer(backingOffset, at, count) for the pieces of [offset,
// offset + size) as they land in the backing image.
template <typename Transfer>
int Wrapped(std::size_t size, off_t offset, Transfer transfer)
{
    const auto start = static_cast<std::uint64_t>(offset);
    if (start >= card.reportedBytes) {
        return 0;
    }
    const std::size_t total = static_cast<std::size_t>(std::min<std::uint64_t>(size, card.reportedBytes - start));
    std::size_t done = 0;
    while (done < total) {
        const std::uint64_t backingOffset = (start + done) % card.backingBytes;
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(total - done, card.backingBytes - backingOffset));
        if (!transfer(static_cast<off_t>(backingOffset), done, count)) {
            return -EIO;
        }
        done += count;
    }
    return static_cast<int>(total);
}

int Read(const char*, char* buffer, std::size_t size, off_t offset, fuse_file_info*)
{
    const int result = Wrapped(size, offset, [buffer](off_t at, std::size_t done, std::size_t count) {
        return ::pread(card.backing, buffer + done, count, at) == static_cast<ssize_t>(count);
    });
    if (card.cache && result > 0) {
        card.cache->Serve(static_cast<std::uint64_t>(offset), buffer, static_cast<std::size_t>(result));
    }
    return result;
}

// The time a write takes on a slow card, beyond the backing image's.
void Throttle(std::size_t size, off_t offset)
{
    const auto start = static_cast<std::uint64_t>(offset);
    std::uint64_t delay = size < 64 * 1024 ? card.smallWriteDelayMicroseconds : 0;
    if (card.slowBytesPerSecond != 0 && start < card.slowTo && start + size > card.slowFrom) {
        delay += size * 1'000'000 / card.slowBytesPerSecond;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
}

int Write(const char*, const char* buffer, std::size_t size, off_t offset, fuse_file_info*)
{
    if (card.failingErrno != 0 && static_cast<std::uint64_t>(offset) + size > card.failingFrom) {
        return -card.failingErrno;
    }
    ++card.writes;
    const bool dropped = card.dropEvery != 0 && card.writes % card.dropEvery == 0;
    Throttle(size, offset);
    if (card.cache && !dropped) {
        card.cache->Store(static_cast<std::uint64_t>(offset), buffer, size);
    }
    return Wrapped(size, offset, [buffer, dropped](off_t at, std::size_t done, std::size_t count) {
        return dropped || ::pwrite(card.backing, buffer + done, count, at) == static_cast<ssize_t>(count);
    });
}

// Writes reach the card in pieces of at most 128 KiB, as through a USB reader.
void* Start(fuse_conn_info* connection, fuse_config*)
{
    connection->max_write = 128 * 1024;
    return nullptr;
}

int Sync(const char*, int, fuse_file_info*)
{
    return ::fsync(card.backing) == 0 ? 0 : -errno;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fputs("usage: faulty-card BACKING REPORTED_BYTES DROP_EVERY MOUNTPOINT [OPTIONS]\n", stderr);
        return 2;
    }
    for (int at = 5; at + 1 < argc; at += 2) {
        const std::string_view option = argv[at];
        if (option == "--cache") {
            card.cache = std::make_unique<WriteCache>(std::strtoull(argv[at + 1], nullptr, 10));
        } else if (option == "--slow") {
            char* end = argv[at + 1];
            card.slowFrom = std::strtoull(end, &end, 10);
            card.slowTo = std::strtoull(end + 1, &end, 10);
            card.slowBytesPerSecond = std::strtoull(end + 1, &end, 10);
        } else if (option == "--fail-writes") {
            char* end = argv[at + 1];
            card.failingFrom = std::strtoull(end, &end, 10);
            card.failingErrno = static_cast<int>(std::strtol(end + 1, &end, 10));
        } else if (option == "--small-write-delay") {
            card.smallWriteDelayMicroseconds = std::strtoull(argv[at + 1], nullptr, 10);
        }
    }
    card.backing = ::open(argv[1], O_RDWR | O_CLOEXEC);
    struct stat status {};
    if (card.backing < 0 || ::fstat(card.backing, &status) != 0 || status.st_size <= 0) {
        std::perror(argv[1]);
        return 1;
    }
    card.backingBytes = static_cast<std::uint64_t>(status.st_size);
    card.reportedBytes = std::strtoull(argv[2], nullptr, 10);
    card.dropEvery = std::strtoull(argv[3], nullptr, 10);

    fuse_operations operations{};
    operations.getattr = GetAttributes;
    operations.readdir = ReadDirectory;
    operations.open = Open;
    operations.read = Read;
    operations.write = Write;
    operations.fsync = Sync;
    operations.init = Start;
    char foreground[] = "-f";
    char singleThreaded[] = "-s";
    char* fuseArguments[] = {argv[0], foreground, singleThreaded, argv[4], nullptr};
    return fuse_main(4, fuseArguments, &operations, nullptr);
}
