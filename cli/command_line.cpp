#include "cli/command_line.h"

#include <array>
#include <charconv>
#include <getopt.h>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Values of the long options that have no short form.
enum OptionValue : int { kCard = 256, kMode, kLabel, kCodePage, kForce, kVersion, kVerify, kCheckCapacity, kFull };

constexpr option kOptions[] = {
    {"card", required_argument, nullptr, kCard},
    {"mode", required_argument, nullptr, kMode},
    {"label", required_argument, nullptr, kLabel},
    {"codepage", required_argument, nullptr, kCodePage},
    {"yes", no_argument, nullptr, 'y'},
    {"force", no_argument, nullptr, kForce},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"verify", no_argument, nullptr, kVerify},
    {"check-capacity", no_argument, nullptr, kCheckCapacity},
    {"full", no_argument, nullptr, kFull},
    {nullptr, 0, nullptr, 0},
};

template <typename Value, std::size_t Count>
std::optional<Value> Lookup(const std::array<std::pair<std::string_view, Value>, Count>& names, std::string_view name)
{
    for (const auto& [known, value] : names) {
        if (name == known) {
            return value;
        }
    }
    return std::nullopt;
}

constexpr std::array<std::pair<std::string_view, EraseMode>, 2> kModeNames = {{
    {"optimized", EraseMode::optimized},
    {"complete", EraseMode::complete},
}};

// 0, which is no code page, for anything but digits.
unsigned CodePageNumber(std::string_view value)
{
    unsigned number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    return error == std::errc() && end == value.data() + value.size() ? number : 0;
}

// Applies one option that takes a value; false with the error set otherwise.
bool ApplyValue(int option, std::string_view value, CommandLine& line)
{
    if (option == kCard) {
        const std::optional<CardType> card = CardTypeNamed(value);
        if (!card) {
            line.error = "--card takes sd, mmc or cf, not '" + std::string(value) + "'";
            return false;
        }
        line.cardType = *card;
    } else if (option == kMode) {
        const std::optional<EraseMode> mode = Lookup(kModeNames, value);
        if (!mode) {
            line.error = "--mode takes optimized or complete, not '" + std::string(value) + "'";
            return false;
        }
        line.eraseMode = *mode;
    } else if (option == kCodePage) {
        const std::optional<trellan::OemCodePage> page = trellan::oem_code_page(CodePageNumber(value));
        if (!page) {
            line.error = "--codepage takes 850 or 437, not '" + std::string(value) + "'";
            return false;
        }
        line.codePage = *page;
    } else {
        if (value.size() > kMaxLabelBytes) {
            line.error = "the label holds at most 15 bytes; '" + std::string(value) + "' has " +
                         std::to_string(value.size());
            return false;
        }
        line.label = value;
    }
    return true;
}

// The option as the user would name it, for messages about it.
std::string OptionName(int value)
{
    for (const option& known : kOptions) {
        if (known.name != nullptr && known.val == value) {
            return std::string("--") + known.name;
        }
    }
    return std::string("-") + static_cast<char>(value);
}

}  // namespace

CommandLine ParseCommandLine(std::span<const char* const> arguments)
{
    // getopt_long wants a program name first and may reorder what follows.
    std::vector<char*> argv{const_cast<char*>("veltrane-format")};
    for (const char* argument : arguments) {
        argv.push_back(const_cast<char*>(argument));
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size() - 1);

    CommandLine line;
    opterr = 0;
    optind = 0;  // a full restart, so that each call parses afresh
    for (;;) {
        const int value = getopt_long(argc, argv.data(), ":hy", kOptions, nullptr);
        if (value == -1) {
            break;
        }
        switch (value) {
        case 'h':
            line.request = CommandRequest::help;
            return line;
        case kVersion:
            line.request = CommandRequest::version;
            return line;
        case 'y':
            line.assumeYes = true;
            break;
        case kForce:
            line.force = true;
            break;
        case kVerify:
            line.verify = true;
            break;
        case kCheckCapacity:
            line.checkCapacity = true;
            break;
        case kFull:
            line.fullCheck = true;
            break;
        case kCard:
        case kMode:
        case kLabel:
        case kCodePage:
            if (!ApplyValue(value, optarg, line)) {
                return line;
            }
            break;
        case ':':
            line.error = OptionName(optopt) + " needs a value";
            return line;
        default:
            // optopt names a known option given a value it does not take;
            // otherwise the option is unknown and only its text tells it.
            line.error = optopt != 0 && std::string_view(argv[optind - 1]).starts_with("--")
                             ? OptionName(optopt) + " takes no value"
                             : "unknown option '" + std::string(argv[optind - 1]) + "'";
            return line;
        }
    }
    for (int index = optind; index < argc; ++index) {
        if (!line.path.empty()) {
            line.error = "one device or image at a time";
            return line;
        }
        line.path = argv[index];
    }
    if (line.path.empty()) {
        line.error = "no device or image named";
    } else if (line.verify && line.eraseMode != EraseMode::complete) {
        line.error = "--verify reads back a Complete erase: it needs --mode complete";
    } else if (line.fullCheck && !line.checkCapacity) {
        line.error = "--full is a mode of --check-capacity";
    }
    return line;
}

std::string HelpText()
{
    return R"HELP(NAME
    veltrane-format - format an SD, MMC or CF card (or a card image) the way
    the Veltrane dialog does

SYNOPSIS
    veltrane-format [--card sd|mmc|cf] [--mode optimized|complete]
                    [--label TEXT] [--codepage 850|437] [--yes] [--force]
                    [--verify] [--check-capacity [--full]]
                    DEVICE-OR-IMAGE
    veltrane-format --help | --version

DESCRIPTION
    Formats the card in a reader (a block device such as /dev/sdX or
    /dev/mmcblkN) or a card image file, with the same steps as the Veltrane
    dialog on Windows: it measures the device, shows its size, asks before
    it deletes anything, writes sector 0 as a trial (a card that refuses it
    is reported as "Disk is Write-Protect !!!"), runs the erase pass if one
    was chosen, and builds the file system that fits the card type and size.
    An image file keeps its length: nothing is written past its end.

    The size shown is the capacity Windows reports for such media: whole
    cylinders of 255 tracks x 63 sectors x 512 bytes, so a little less than
    the device's length, e.g. "7.99 GBytes ( 8587192320  Bytes )" for an
    8 GiB card.

OPTIONS
    --card sd|mmc|cf
        The card type (default sd). See CARD TYPES AND SIZES.
    --mode optimized|complete
        Erase pass before the file system is built. "optimized" zeroes the
        first 8 KiB of every 512 KiB; "complete" zeroes the whole device and
        takes as long as writing it. Without --mode there is no erase pass.
    --label TEXT
        Volume label, at most 15 bytes (default BREVALD), read as UTF-8, the
        encoding of the user's locale. exFAT stores the characters as typed,
        up to 11 UTF-16 units. FAT stores them as Windows does: in capitals,
        in the OEM code page of --codepage, up to 11 bytes; a character that
        page cannot hold becomes "_", and so do the characters FAT forbids
        in a label. Trailing blanks are dropped; an all-blank label is none.
        A label never makes the format fail.
    --codepage 850|437
        The OEM code page of FAT labels (default 850, which Linux mounts FAT
        with by default; 437 is the US one). Choose the one of the systems
        that will read the card, so that CAFÉ reads back as CAFÉ.
    --yes, -y
        Do not ask "It will delete all file in the media!  continue ?".
        Without it the answer is read from standard input; only y or yes
        goes on.
    --force
        Format even a block device that is not marked removable, or a device
        or image that holds a mounted file system, or a card that fails
        --check-capacity (then for its real capacity). It never overrides a
        path that cannot be opened or read, or one of zero length.
    --verify
        With --mode complete: after the erase pass, read the whole card back
        before the file system is built. A byte that is not zero (a card
        that drops writes) ends the format with the first bad offset and
        exit status 7.
    --check-capacity
        Before the format, test whether the card holds what it reports: write
        4 KiB blocks whose 512-byte sectors are each tagged with their own
        offset and a number drawn for this run, and read them all back:
        every block of the card's first M bytes, then one block every M
        bytes to its end. M is about the square root of the card's size
        times 4 KiB (12 MiB on a 32 GiB card, 24 MiB on a 128 GiB one; about
        twice M is written), or the card's size / 2048 on cards under
        16 GiB. A card that reports more than it holds wraps: a
        sector written past its real size turns up in place of one below it.
        The quick check finds every such card, wherever the wrap falls, and
        then pins the real size down to the sector with a few targeted
        writes. A card that drops writes reads back sectors that are not
        this run's; the quick check finds it only where its probes fall.
        Either way the report gives the real usable capacity, and the card
        is not formatted (exit status 7) unless --force is given, which lays
        the file system out within the real capacity. The check overwrites
        the card, so it comes after the question.
    --full
        With --check-capacity: test every block of the card. As slow as
        writing and reading the whole card; it adds the writes dropped or
        corrupted between the quick check's probes.
    --help, -h
        Show this text.
    --version
        Show the version.

CARD TYPES AND SIZES
    The size class comes from the dialog's capacity estimate,
    (cylinders + 1) x 256 x 63 x 512 bytes, counted in whole MiB:
        small   estimate up to 2,088 MiB   (devices below 2,179,699,200 bytes)
        mid     estimate up to 32,896 MiB  (devices below 34,356,994,560 bytes)
        large   anything larger
    and picks the builder:
        card   small                 mid                   large
        sd     SD: FAT12 or FAT16    FAT32 (4 MiB start,   exFAT
                                     32 KiB clusters)
        mmc    MMC: FAT12 or FAT16   FAT32 (as for sd)     MMC: FAT32
        cf     CF: hard-disk layout, partition on the second track, FAT12 or
               FAT16 up to 2 GiB and FAT32 above, at every size

SAFETY
    Before anything is written the program refuses
      - a path that cannot be opened or read, or that is neither a file nor
        a block device, or has zero length (a reader without a card);
      - a block device whose disk is not marked removable in
        /sys/class/block/NAME/removable (partitions count as their disk);
      - a block device, one of its partitions or a device stacked on them,
        or an image file through a loop device backed by it, that holds a
        mounted file system (/proc/self/mountinfo).
    --force overrides only the last two. Then the program claims the card
    for itself until it ends (an exclusive open of a block device, an flock
    on an image file): a card that another format or the system holds is
    refused, and no other program of ours formats it meanwhile.

STOPPING
    SIGINT (Ctrl-C), SIGTERM or SIGHUP during the erase pass stops it after
    the write in flight; stderr then says how far it got, e.g. "erased up to
    N of M bytes; no file system", and the exit status is 9. During the
    file system build, which takes a second or less, the build is finished
    first. During the capacity check or the read-back of --verify the
    program ends at once and says what the card holds. A closed standard
    output or error (a pipe into head) stops the printing, not the format.

STATUS
    The result is printed with the dialog's status words:
        Success  / Please re-insert the card
        Fail     / Format Error
        Cancel   / Please repeat the process

EXIT STATUS
    0   the card was formatted
    1   the format failed (write-protected card, no permission to write, a
        failed write, a device that the builder cannot use); stderr says why
    2   the command line is not usable
    3   the question was answered no; nothing was written
    4   the path cannot be opened or read, or has zero length
    5   the block device is not removable (--force overrides)
    6   the device or image holds a mounted file system (--force overrides)
    7   the card failed --verify, or --check-capacity without --force
    8   another program is formatting the card, or the system holds it (a
        mounted file system); nothing was written
    9   a stop signal ended the program before the file system was built;
        stderr says what the card holds

PROGRESS
    The erase pass, the capacity check and the read-back show a line with
    the share done, the speed so far and the time left at that speed, on
    stderr, redrawn in place on a terminal; each ends with a line giving
    what was covered, the time and the speed.

EXAMPLES
    Format the SD card in a USB reader, erasing the start of every 512 KiB:
        veltrane-format --card sd --mode optimized --label PHOTOS /dev/sdc
    Test a new card's capacity, erase it all and read the erase back:
        veltrane-format --check-capacity --mode complete --verify /dev/sdc
    Make a 2 GiB CF card image without being asked:
        truncate -s 2G cf.img && veltrane-format --card cf --yes cf.img
    Check what was written (mtools, at the partition's offset):
        mdir -i cf.img@@$((63 * 512)) ::
)HELP";
}
