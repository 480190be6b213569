// trellan-format: formats an image file or a block device with one of the
// card builders and prints the layout it wrote.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <optional>
#include <string>
#include <string_view>

#include "guard/card_claim.h"
#include "guard/standard_streams.h"
#include "guard/stop_signals.h"
#include "guard/target_hazards.h"
#include "guard/target_inspection.h"
#include "guard/write_failure_text.h"
#include "trellan/builders.h"
#include "trellan/byte_order.h"
#include "trellan/fat_structures.h"
#include "trellan/file_device.h"
#include "trellan/mbr.h"
#include "trellan/volume_label.h"

namespace {

using namespace trellan;

constexpr const char* usage =
    "usage: trellan-format --builder sd|fat32|exfat|mmc|cf [--label TEXT] [--codepage 850|437] [--force]\n"
    "                      IMAGE-OR-DEVICE\n"
    "The label is read as UTF-8; FAT stores it in the OEM code page given (default 850).\n"
    "A block device that is not removable, or a device or image that holds a mounted file system, is\n"
    "refused unless --force is given; one that another program is formatting always is.\n"
    "Exit status: 0 formatted, 1 failed, 2 usage, 5 not removable, 6 mounted, 8 another program holds it.\n";

// As veltrane-format numbers the same refusals.
enum exit_status : int {
    exit_formatted = 0,
    exit_failed = 1,
    exit_usage = 2,
    exit_not_removable = 5,
    exit_mounted = 6,
    exit_busy = 8,
};

struct Options {
    std::optional<Builder> builder;
    std::string label;
    OemCodePage code_page = OemCodePage::cp850;
    bool force = false;
    std::string path;
};

enum option_value : int { builder_option = 256, label_option, code_page_option, force_option };

constexpr option long_options[] = {
    {"builder", required_argument, nullptr, builder_option},
    {"label", required_argument, nullptr, label_option},
    {"codepage", required_argument, nullptr, code_page_option},
    {"force", no_argument, nullptr, force_option},
    {nullptr, 0, nullptr, 0},
};

bool parse_code_page(const char* text, OemCodePage& code_page)
{
    char* end = nullptr;
    const unsigned long number = std::strtoul(text, &end, 10);
    const std::optional<OemCodePage> page = oem_code_page(static_cast<unsigned>(number));
    if (!page || *end != '\0') {
        return false;
    }
    code_page = *page;
    return true;
}

// False for anything the usage text does not allow; getopt_long's own
// complaints are kept quiet in favour of that text.
bool parse_options(int argc, char** argv, Options& options)
{
    opterr = 0;
    for (;;) {
        const int value = getopt_long(argc, argv, "", long_options, nullptr);
        if (value == -1) {
            break;
        }
        if (value == builder_option) {
            options.builder = builder_named(optarg);
            if (!options.builder) {
                return false;
            }
        } else if (value == label_option) {
            options.label = optarg;
        } else if (value == force_option) {
            options.force = true;
        } else if (value != code_page_option || !parse_code_page(optarg, options.code_page)) {
            return false;
        }
    }
    if (optind + 1 != argc) {
        return false;
    }
    options.path = argv[optind];
    return options.builder.has_value();
}

// Reads back what was written: the partition entry and the boot sector.
void print_layout(BlockDevice& device)
{
    std::array<std::uint8_t, 512> mbr{};
    std::array<std::uint8_t, 512> boot{};
    if (device.read(0, mbr) != IoResult::ok) {
        std::printf("formatted (layout could not be read back)\n");
        return;
    }
    const std::span<const std::uint8_t> entry = std::span<const std::uint8_t>(mbr).subspan(mbr_offset::first_entry);
    const std::uint32_t start = load_le32(entry, partition_entry_offset::start_lba);
    const unsigned type = entry[partition_entry_offset::type];
    if (device.read(start, boot) != IoResult::ok) {
        std::printf("formatted (boot sector could not be read back)\n");
        return;
    }
    const std::string_view exfat_name(reinterpret_cast<const char*>(boot.data()) + 3, 8);
    std::string file_system;
    std::uint64_t cluster_bytes = 0;
    if (exfat_name == "EXFAT   ") {
        // Bytes-per-sector and sectors-per-cluster shifts of the exFAT boot sector.
        file_system = "exFAT";
        cluster_bytes = std::uint64_t{1} << (boot[108] + boot[109]);
    } else {
        const bool fat32 = load_le16(boot, bpb_offset::fat_length_16) == 0;
        const std::size_t name = fat32 ? fat32_bpb_offset::type_name : fat16_bpb_offset::type_name;
        file_system = std::string(reinterpret_cast<const char*>(boot.data()) + name, 5);
        cluster_bytes =
            std::uint64_t{boot[bpb_offset::sectors_per_cluster]} * load_le16(boot, bpb_offset::bytes_per_sector);
    }
    std::printf("file system: %s\npartition type: %02Xh\npartition start: sector %u\ncluster size: %llu bytes\n",
                file_system.c_str(), type, start, static_cast<unsigned long long>(cluster_bytes));
}

void complain(const std::string& path, const std::string& text)
{
    std::fprintf(stderr, "trellan-format: %s: %s\n", path.c_str(), text.c_str());
}

// A fixed disk or a mounted file system, refused unless forced. 0 when the
// format may go on.
int safety_refusal(const Options& options, const TargetIdentity& target)
{
    const std::optional<TargetHazard::Kind> refusal =
        RefusingHazard(target, options.force, [&](const std::string& text) { complain(options.path, text); });
    if (!refusal) {
        return 0;
    }
    return *refusal == TargetHazard::Kind::notRemovable ? exit_not_removable : exit_mounted;
}

// descriptor: the claim's, the one open of the card every write goes through.
int format(const Options& options, int descriptor)
{
    OpenFailure open_failure = OpenFailure::none;
    const auto device = FileDevice::over(descriptor, open_failure);
    if (!device) {
        complain(options.path, trellan::describe(open_failure));
        return exit_failed;
    }
    const FormatStatus status = build(*options.builder, *device,
                                      volume_label_from_utf8(options.label, options.code_page), current_format_stamp());
    if (!status.ok()) {
        complain(options.path,
                 describe(status) + (device->last_write_error() != 0
                                         ? ": " + WriteFailureText(device->last_write_error(), std::nullopt)
                                         : std::string()));
        return exit_failed;
    }
    print_layout(*device);
    return exit_formatted;
}

}  // namespace

int main(int argc, char** argv)
{
    // Before anything is opened: the card must never become one of them.
    if (!OpenClosedStandardStreams()) {
        return exit_failed;
    }
    IgnoreBrokenPipes();
    Options options;
    if (!parse_options(argc, argv, options)) {
        std::fputs(usage, stderr);
        return exit_usage;
    }
    const TargetIdentity target = IdentifyTarget(options.path);
    if (!target.problem.empty()) {
        complain(options.path, target.problem);
        return exit_failed;
    }
    if (const int refusal = safety_refusal(options, target); refusal != 0) {
        return refusal;
    }
    const CardClaim claim(options.path, target);
    if (claim.Refused() != CardClaim::Refusal::none) {
        complain(options.path, claim.Problem() + "; nothing was written");
        return claim.Refused() == CardClaim::Refusal::busy ? exit_busy : exit_failed;
    }
    // The build takes a second or less: a stop signal waits for it.
    CatchStopSignals();
    const int result = format(options, claim.Descriptor());
    if (const int signal = StopSignal(); signal != 0) {
        complain(options.path,
                 std::string("SIG") + sigabbrev_np(signal) + " came during the build, which was finished first");
    }
    return result;
}
