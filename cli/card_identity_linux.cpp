#include "cli/card_identity_linux.h"

#include "cli/sd_registers.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute, without its blanks; "" where there is none.
std::string Attribute(const fs::path& path)
{
    std::ifstream file(path);
    std::string text;
    std::getline(file, text);
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    const std::size_t start = text.find_first_not_of(" \t");
    return end == std::string::npos ? "" : text.substr(start, end - start + 1);
}

}  // namespace

std::optional<CardIdentity> ReadCardIdentity(const std::string& path, const std::string& sysfsRoot)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISBLK(status.st_mode)) {
        return std::nullopt;
    }
    std::error_code error;
    fs::path block =
        fs::canonical(fs::path(sysfsRoot) / "dev/block" /
                          (std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev))),
                      error);
    if (error) {
        return std::nullopt;
    }
    // A partition's card is its disk's.
    if (fs::exists(block / "partition")) {
        block = block.parent_path();
    }
    const fs::path device = block / "device";
    CardIdentity identity;
    // sysfs counts a block device's size in 512-byte units, whatever its sectors.
    if (const std::string size = Attribute(block / "size"); !size.empty()) {
        identity.deviceBytes = std::stoull(size) * 512;
    }
    const std::string type = Attribute(device / "type");
    if (type == "SD" || type == "MMC") {
        const CardBus bus = type == "SD" ? CardBus::sd : CardBus::mmc;
        identity.bus = type;
        identity.cid = DecodeCid(Attribute(device / "cid"), bus);
        identity.csdCapacityBytes = CsdCapacityBytes(Attribute(device / "csd"), bus);
        identity.claimedClasses = SsrClaimedClasses(Attribute(device / "ssr"));
        return identity;
    }
    identity.readerVendor = Attribute(device / "vendor");
    identity.readerModel = Attribute(device / "model");
    if (identity.readerVendor.empty() && identity.readerModel.empty()) {
        return std::nullopt;
    }
    identity.bus = fs::canonical(device, error).string().find("/usb") != std::string::npos ? "USB" : "SCSI";
    return identity;
}
