#include "guard/mount_table.h"

#include <cstdio>
#include <libmount.h>
#include <memory>
#include <sys/sysmacros.h>

namespace {

struct TableDeleter {
    void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
struct IteratorDeleter {
    void operator()(libmnt_iter* iterator) const { mnt_free_iter(iterator); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A line that does not parse is skipped rather than losing the whole table.
int SkipBadLine(libmnt_table*, const char*, int)
{
    return 1;
}

std::vector<MountEntry> EntriesOf(libmnt_table& table)
{
    std::vector<MountEntry> entries;
    const std::unique_ptr<libmnt_iter, IteratorDeleter> iterator(mnt_new_iter(MNT_ITER_FORWARD));
    if (!iterator) {
        return entries;
    }
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(&table, iterator.get(), &fs) == 0) {
        const dev_t device = mnt_fs_get_devno(fs);
        const char* target = mnt_fs_get_target(fs);
        const char* source = mnt_fs_get_source(fs);
        entries.push_back({
            .major = major(device),
            .minor = minor(device),
            .mountPoint = target == nullptr ? "" : target,
            .source = source == nullptr ? "" : source,
        });
    }
    return entries;
}

std::vector<MountEntry> ParseStream(std::FILE* stream, const char* name)
{
    const std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
    if (!table || stream == nullptr) {
        return {};
    }
    mnt_table_set_parser_errcb(table.get(), SkipBadLine);
    if (mnt_table_parse_stream(table.get(), stream, name) != 0) {
        return {};
    }
    return EntriesOf(*table);
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    std::string copy(text);
    const std::unique_ptr<std::FILE, FileCloser> stream(fmemopen(copy.data(), copy.size(), "r"));
    return ParseStream(stream.get(), "mountinfo");
}

std::vector<MountEntry> ReadMountTable()
{
    const std::unique_ptr<std::FILE, FileCloser> stream(std::fopen("/proc/self/mountinfo", "re"));
    return ParseStream(stream.get(), "/proc/self/mountinfo");
}
