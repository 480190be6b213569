#include "guard/device_checks.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/loop.h>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Devices stacked deeper than this are not followed (no real stack is).
constexpr int kMaxStackDepth = 8;

// The block devices a write to the path reaches, by number and by node path.
struct DeviceFamily {
    std::set<std::pair<unsigned, unsigned>> numbers;
    std::set<std::string> nodePaths;
    std::set<fs::path> visited;
};

std::string ReadFirstLine(const fs::path& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

std::optional<fs::path> SysfsDirectoryOf(BlockDeviceNumber device)
{
    std::error_code error;
    const fs::path directory = fs::canonical(
        fs::path("/sys/dev/block") / (std::to_string(device.major) + ":" + std::to_string(device.minor)), error);
    return error ? std::nullopt : std::optional<fs::path>(directory);
}

bool IsPartition(const fs::path& sysfsDirectory)
{
    std::error_code error;
    return fs::exists(sysfsDirectory / "partition", error);
}

void AddToFamily(const fs::path& directory, DeviceFamily& family, int depth)
{
    if (depth > kMaxStackDepth || !family.visited.insert(directory).second) {
        return;
    }
    unsigned major = 0;
    unsigned minor = 0;
    if (std::sscanf(ReadFirstLine(directory / "dev").c_str(), "%u:%u", &major, &minor) == 2) {
        family.numbers.insert({major, minor});
    }
    family.nodePaths.insert("/dev/" + directory.filename().string());

    std::error_code error;
    for (const fs::directory_entry& child : fs::directory_iterator(directory, error)) {
        if (IsPartition(child.path())) {
            AddToFamily(child.path(), family, depth + 1);
        }
    }
    for (const fs::directory_entry& holder : fs::directory_iterator(directory / "holders", error)) {
        std::error_code resolveError;
        const fs::path resolved = fs::canonical(holder.path(), resolveError);
        if (!resolveError) {
            AddToFamily(resolved, family, depth + 1);
        }
    }
}

std::optional<FileIdentity> IdentityOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

// The kernel's own record of the backing file outlives its name (renamed,
// deleted, or out of this mount namespace); the name in sysfs serves where
// the device node cannot be opened.
bool LoopIsBackedBy(const fs::path& sysfsLoop, FileIdentity image)
{
    const int descriptor = ::open(("/dev/" + sysfsLoop.filename().string()).c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor >= 0) {
        loop_info64 info{};
        const bool answered = ::ioctl(descriptor, LOOP_GET_STATUS64, &info) == 0;
        ::close(descriptor);
        if (answered && info.lo_device == image.device && info.lo_inode == image.inode) {
            return true;
        }
    }
    const std::string backingFile = ReadFirstLine(sysfsLoop / "loop" / "backing_file");
    return !backingFile.empty() && IdentityOf(backingFile) == image;
}

std::optional<MountEntry> FindMount(const DeviceFamily& family, const std::vector<MountEntry>& mounts)
{
    for (const MountEntry& mount : mounts) {
        // Some file systems (btrfs) report an anonymous device number; their
        // source still names the device node.
        std::error_code error;
        const std::string source =
            mount.source.starts_with("/dev/") ? fs::weakly_canonical(mount.source, error).string() : mount.source;
        if (family.numbers.contains({mount.major, mount.minor}) || family.nodePaths.contains(source)) {
            return mount;
        }
    }
    return std::nullopt;
}

}  // namespace

Removability RemovabilityOf(BlockDeviceNumber device)
{
    std::optional<fs::path> directory = SysfsDirectoryOf(device);
    if (!directory) {
        return Removability::unknown;
    }
    if (IsPartition(*directory)) {
        directory = directory->parent_path();
    }
    const std::string flag = ReadFirstLine(*directory / "removable");
    if (flag == "1") {
        return Removability::removable;
    }
    return flag == "0" ? Removability::fixed : Removability::unknown;
}

std::optional<MountEntry> FindMountOnBlockDevice(BlockDeviceNumber device, const std::vector<MountEntry>& mounts)
{
    const std::optional<fs::path> directory = SysfsDirectoryOf(device);
    DeviceFamily family;
    family.numbers.insert({device.major, device.minor});
    if (directory) {
        AddToFamily(*directory, family, 0);
    }
    return FindMount(family, mounts);
}

std::optional<MountEntry> FindMountOnImage(FileIdentity image, const std::vector<MountEntry>& mounts)
{
    // File systems that mount an image file directly name it as their source.
    for (const MountEntry& mount : mounts) {
        if (mount.source.starts_with('/') && IdentityOf(mount.source) == image) {
            return mount;
        }
    }
    DeviceFamily family;
    std::error_code error;
    for (const fs::directory_entry& block : fs::directory_iterator("/sys/block", error)) {
        if (block.path().filename().string().starts_with("loop") && LoopIsBackedBy(block.path(), image)) {
            std::error_code resolveError;
            const fs::path loop = fs::canonical(block.path(), resolveError);
            if (!resolveError) {
                AddToFamily(loop, family, 0);
            }
        }
    }
    return FindMount(family, mounts);
}
