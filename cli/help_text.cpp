#include "cli/help_text.h"

#include "cli/choice_list.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace {

// Sections both tools share, in the order the text shows them. What is
// written in braces comes from the card-type and erase-mode rows.
constexpr std::string_view kCardAndModeHelp = R"HELP(OPTIONS
    --card {cards}
        The card type (default {default card}). See CARD TYPES AND SIZES.
    --mode {modes}
        Erase pass before the file system is built (none without --mode):
{mode lines})HELP";

constexpr std::string_view kYesHelp = R"HELP(    --yes, -y
        Do not ask "It will delete all file in the media!  continue ?".
        Without it the answer is read from standard input; only y or yes
        goes on.
)HELP";

constexpr std::string_view kHealthOptionsHelp = R"HELP(    --verify
        With --mode complete: after the erase pass, read the whole card back
        before the file system is built. A byte that is not zero (a card
        that drops writes) ends the format with the first bad offset and
        exit status 7.
    --check-capacity
        Before the format, test whether the card holds what it reports: write
        4 KiB blocks whose 512-byte sectors are each tagged with their own
        offset and a number drawn for this run, and read them all back:
        one block every M bytes of the card, then every block of its first
        256 MiB + M bytes. M is about the square root of the card's size
        times 4 KiB (12 MiB on a 32 GiB card, 24 MiB on a 128 GiB one), or
        the card's size / 2048 on cards under 16 GiB; about 256 MiB + 2 x M
        is written. A card that reports more than it holds wraps: a
        sector written past its real size turns up in place of one below it.
        The quick check finds every such card, wherever the wrap falls, and
        then pins the real size down to the sector with another 256 MiB of
        writes and a few targeted ones. Counterfeit cards answer reads from
        a cache of their latest writes, up to 256 MiB: every block is read
        back only after 256 MiB of other writes, so no cache hides the wrap.
        A card that drops writes reads back sectors that are not this run's;
        the quick check finds it only where its probes fall.
)HELP";

constexpr std::string_view kFullHelp = R"HELP(    --full
        With --check-capacity: test every block of the card. As slow as
        writing and reading the whole card; it adds the writes dropped or
        corrupted between the quick check's probes.
    --speed
        Before the format (after --check-capacity, and on a card forced past
        it only over its real capacity), measure the card's real speed past
        every cache: the first 16 MiB of each of 64 regions written and read
        back in 1 MiB transfers (each read after 256 MiB of other writes, on
        cards over 512 MiB), then 4 KiB reads and writes at random offsets
        for 2 seconds each. It ends with a bar chart of the write speed per
        region, the slowest region and where it lies, and the random
        operations a second. About 1.3 GiB is written on a large card.
    --class C2|C4|C6|C10|U1|U3|V6|V10|V30|V60|V90|A1|A2
        With --speed: judge the card against this speed class. Every class
        promises a sequential write speed (2, 4, 6, 10, 10, 30, 6, 10, 30,
        60, 90, 10 and 10 MB/s, MB being 1,000,000 bytes), which the slowest
        region must reach; A1 also 1500 random reads and 500 random writes
        a second, A2 4000 and 2000. A card in a native SD slot is judged
        against the classes its SD Status register claims as well. A card
        that fails a class is still formatted, with exit status 10.
    --report FILE
        Write what the run measured to FILE as JSON (see REPORT). FILE is
        checked before anything is written to the card: one that cannot be
        written, or that is the card, ends the run with exit status 2.
    --help, -h
        Show this text.
    --version
        Show the version.

)HELP";

constexpr std::string_view kReportHelp = R"HELP(REPORT
    --report FILE writes one JSON object when the program ends, whatever
    ended it:
        tool, version       the program and its version
        card                the device, image or drive named
        identity            null, or who made the card: bus ("SD" or "MMC"
                            in a native slot, "USB" for a reader), and
                            from the card's CID manufacturer_id, oem_id,
                            product_name, revision, serial_number and
                            manufactured ("YYYY-MM"), csd_capacity_bytes,
                            device_bytes (the length the system reports),
                            claimed_classes (Linux only); or reader_vendor
                            and reader_model, as the device names itself
        capacity            reported_bytes, checked, real_bytes, verdict
                            ("passed", "failed", "not checked"),
                            probes_checked, probes_wrong, probes_aliased,
                            wrap_bytes, first_wrong_offset
        speed               null, or sample_bytes, regions (offset_bytes,
                            length_bytes, write_mb_s, read_mb_s),
                            slowest_write, slowest_read, random_read_iops,
                            random_write_iops, failed_offset and classes
                            (class, source, kept, failures)
        verify              null, or passed and first_bad_offset
        started, ended      UTC, "YYYY-MM-DDTHH:MM:SSZ"
        exit_status         as below
    Numbers are bytes or offsets unless named otherwise; a field that was
    not measured is null.

)HELP";

constexpr std::string_view kCardTypesHelp = R"HELP(CARD TYPES AND SIZES
    The size class comes from the dialog's capacity estimate,
    (cylinders + 1) x 256 x 63 x 512 bytes, counted in whole MiB:
        small   estimate up to 2,088 MiB   (devices below 2,179,699,200 bytes)
        mid     estimate up to 32,896 MiB  (devices below 34,356,994,560 bytes)
        large   anything larger
    and picks the builder:
        card   small                 mid                   large
{card sizes}
)HELP";

constexpr std::string_view kStatusHelp = R"HELP(STATUS
    The result is printed with the dialog's status words:
        Success  / Please re-insert the card
        Fail     / Format Error
        Cancel   / Please repeat the process

)HELP";

constexpr std::string_view kProgressHelp = R"HELP(PROGRESS
    The erase pass, the capacity check and the read-back show a line with
    the share done, the speed so far and the time left at that speed, on
    stderr, redrawn in place on a terminal; each ends with a line giving
    what was covered, the time and the speed.

)HELP";

// The Linux tool: block devices and image files.
constexpr std::string_view kLinuxHead = R"HELP(NAME
    veltrane-format - format an {card titles} card (or a card image) the way
    the Veltrane dialog does

SYNOPSIS
    veltrane-format [--card {cards}] [--mode {modes}]
                    [--label TEXT] [--codepage 850|437] [--yes] [--force]
                    [--verify] [--check-capacity [--full]]
                    [--speed [--class CLASS]] [--report FILE]
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

)HELP";

constexpr std::string_view kLinuxLabel = R"HELP(    --label TEXT
        Volume label, at most 15 bytes (default BREVALD), read as UTF-8, the
        encoding of the user's locale. exFAT stores the characters as typed,
        up to 11 UTF-16 units. FAT stores them as Windows does: in capitals,
        in the OEM code page of --codepage, up to 11 bytes; a character that
        page cannot hold becomes "_", and so do the characters FAT forbids
        in a label. Trailing blanks are dropped, and on FAT leading ones
        too; an all-blank label is none. The plan before the question shows
        the label as the card will store it.
        A label never makes the format fail.
    --codepage 850|437
        The OEM code page of FAT labels (default 850, which Linux mounts FAT
        with by default; 437 is the US one). Choose the one of the systems
        that will read the card, so that CAFÉ reads back as CAFÉ.
)HELP";

constexpr std::string_view kLinuxForce = R"HELP(    --force
        Format even a block device that is not marked removable, or a device
        or image that holds a mounted file system, or a card that fails
        --check-capacity (then for its real capacity). It never overrides a
        path that cannot be opened or read, or one of zero length.
)HELP";

constexpr std::string_view kLinuxCapacityEnd =
    R"HELP(        Either way the report gives the real usable capacity, and the card
        is not formatted (exit status 7) unless --force is given, which lays
        the file system out within the real capacity. The check overwrites
        the card, so it comes after the question.
)HELP";

constexpr std::string_view kLinuxSafety = R"HELP(SAFETY
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
    on an image file, and a lock on the byte range of the file that stores
    the card, so that a loop device and its image are one card): a card that
    another format or the system holds is refused, and no other program of
    ours formats it meanwhile.

STOPPING
    SIGINT (Ctrl-C), SIGTERM or SIGHUP during the erase pass stops it after
    the write in flight; stderr then says how far it got, e.g. "erased up to
    N of M bytes; no file system", and the exit status is 9. During the
    file system build, which takes a second or less, the build is finished
    first. During the capacity check, the speed test or the read-back of
    --verify the program ends at once and says what the card holds. A closed standard
    output or error (a pipe into head) stops the printing, not the format.

)HELP";

constexpr std::string_view kLinuxExitStatus = R"HELP(EXIT STATUS
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
    10  the card was formatted, but does not keep a speed class it was
        judged against (--speed)

)HELP";

constexpr std::string_view kLinuxExamples = R"HELP(EXAMPLES
    Format the SD card in a USB reader, erasing the start of every 512 KiB:
        veltrane-format --card sd --mode optimized --label PHOTOS /dev/sdc
    Test a new card's capacity, erase it all and read the erase back:
        veltrane-format --check-capacity --mode complete --verify /dev/sdc
    Prove to a seller that a card is neither its size nor its class:
        veltrane-format --check-capacity --force --speed --class U3 \
                        --report card.json /dev/mmcblk0
    Make a 2 GiB CF card image without being asked:
        truncate -s 2G cf.img && veltrane-format --card cf --yes cf.img
    Check what was written (mtools, at the partition's offset):
        mdir -i cf.img@@$((63 * 512)) ::
)HELP";

// The Windows tool: drive letters of removable readers.
constexpr std::string_view kWindowsHead = R"HELP(NAME
    veltrane-format - format an {card titles} card the way the Veltrane
    dialog does

SYNOPSIS
    veltrane-format [--card {cards}] [--mode {modes}]
                    [--label TEXT] [--yes] [--force]
                    [--verify] [--check-capacity [--full]]
                    [--speed [--class CLASS]] [--report FILE]
                    DRIVE
    veltrane-format --help | --version

DESCRIPTION
    Formats the card in a removable reader, named by its drive letter
    (E: or E:\), with the same steps as the Veltrane dialog: it measures
    the card, shows its size, asks before it deletes anything, writes
    sector 0 as a trial (a card that refuses it is reported as "Disk is
    Write-Protect !!!"), runs the erase pass if one was chosen, and builds
    the file system that fits the card type and size through Trellan.dll,
    which must sit beside the program. It writes raw sectors, so run it
    from a command prompt opened as administrator.

    The size shown is the capacity Windows reports for the card: whole
    cylinders of its geometry, e.g. "7.99 GBytes ( 8587192320  Bytes )"
    for an 8 GiB card.

)HELP";

constexpr std::string_view kWindowsLabel = R"HELP(    --label TEXT
        Volume label, at most 15 bytes (default BREVALD), in the system's
        ANSI code page, as the dialog's label field takes it. exFAT stores
        the characters as typed; FAT stores them as Windows does, in
        capitals, in the system's OEM code page, and a character that page
        cannot hold becomes "_". A label never makes the format fail.
)HELP";

constexpr std::string_view kWindowsForce = R"HELP(    --force
        Format a card that fails --check-capacity, for its real capacity:
        the erase and the file system end there. --force never overrides a
        drive that is not a removable reader.
)HELP";

constexpr std::string_view kWindowsCapacityEnd =
    R"HELP(        Either way the report gives the real usable capacity, and the card
        is not formatted (exit status 7) unless --force is given, which lays
        the file system out within the real capacity. The check overwrites
        the card, so it comes after the question.
)HELP";

constexpr std::string_view kWindowsSafety = R"HELP(SAFETY
    Before anything is written the program refuses
      - a drive that is not a removable reader (a fixed disk, a network or
        optical drive), or the system's own disk, and any name but a drive
        letter; --force does not override this;
      - a reader with no card in it, or a card that cannot be opened (no
        administrator rights).
    For --check-capacity and --verify the program takes the whole card
    (every partition on it locked and taken from its file system) before
    the check and holds it until the format ends, so no other program
    writes it in between; a card whose files another program holds open is
    refused. The format job takes the card for itself: a card that another
    format holds is refused with the reason, and nothing is written to it.

    The health checks read the card past the system's cache (unbuffered,
    sector-aligned reads), so they see what the card kept, not what was
    sent to it.

)HELP";

constexpr std::string_view kWindowsExitStatus = R"HELP(EXIT STATUS
    0   the card was formatted
    1   the format failed (write-protected card, a card another program
        holds, a failed write, a card that the builder cannot use); the
        output says why
    2   the command line is not usable
    3   the question was answered no; nothing was written
    4   the drive does not exist, has no card, or cannot be opened
    5   the drive is not a removable reader; nothing was written
    7   the card failed --verify, or --check-capacity without --force
    8   a program holds files open on the card (--check-capacity,
        --verify, --speed); nothing was written
    10  the card was formatted, but does not keep a speed class it was
        judged against (--speed)

)HELP";

constexpr std::string_view kWindowsExamples = R"HELP(EXAMPLES
    Format the SD card in drive E:, erasing the start of every 512 KiB:
        veltrane-format --card sd --mode optimized --label PHOTOS E:
    Check a card you do not trust, then erase it all and read it back:
        veltrane-format --check-capacity --mode complete --verify E:
)HELP";

constexpr std::array<std::string_view, 15> kLinuxHelp = {
    kLinuxHead,         kCardAndModeHelp,  kLinuxLabel,   kYesHelp,       kLinuxForce,
    kHealthOptionsHelp, kLinuxCapacityEnd, kFullHelp,     kCardTypesHelp, kLinuxSafety,
    kStatusHelp,        kLinuxExitStatus,  kProgressHelp, kReportHelp,    kLinuxExamples,
};

constexpr std::array<std::string_view, 15> kWindowsHelp = {
    kWindowsHead,       kCardAndModeHelp,    kWindowsLabel, kYesHelp,       kWindowsForce,
    kHealthOptionsHelp, kWindowsCapacityEnd, kFullHelp,     kCardTypesHelp, kWindowsSafety,
    kStatusHelp,        kWindowsExitStatus,  kProgressHelp, kReportHelp,    kWindowsExamples,
};

// "a|b|c" from the rows' command-line names.
template <class Rows>
std::string NameAlternatives(const Rows& rows)
{
    std::string text;
    for (const auto& row : rows) {
        text += text.empty() ? "" : "|";
        text += row.name;
    }
    return text;
}

std::string ModeLines()
{
    std::string text;
    for (const EraseModeRow& row : kEraseModeRows) {
        text += "        \"" + std::string(row.name) + "\" " + std::string(row.help) + ".\n";
    }
    return text;
}

// A row's first line follows its name; the others start under the first.
std::string CardSizeLines()
{
    constexpr std::string_view kIndent = "        ";
    constexpr size_t kNameColumnBytes = 7;
    std::string text;
    for (const CardTypeRow& row : kCardTypeRows) {
        std::string name(row.name);
        name.resize(std::max(kNameColumnBytes, name.size() + 1), ' ');
        std::string_view lines = row.sizesHelp;
        bool first = true;
        while (!lines.empty()) {
            const size_t end = std::min(lines.find('\n'), lines.size());
            text += std::string(kIndent) + (first ? name : std::string(name.size(), ' '));
            text += std::string(lines.substr(0, end)) + "\n";
            lines.remove_prefix(std::min(end + 1, lines.size()));
            first = false;
        }
    }
    return text;
}

void Substitute(std::string& text, std::string_view key, const std::string& value)
{
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
        text.replace(at, key.size(), value);
    }
}

}  // namespace

std::string HelpText(ToolSystem tool)
{
    std::string text;
    for (const std::string_view section : tool == ToolSystem::windowsDrives ? kWindowsHelp : kLinuxHelp) {
        text += section;
    }
    Substitute(text, "{cards}", NameAlternatives(kCardTypeRows));
    Substitute(text, "{default card}", std::string(kCardTypeRows[0].name));
    Substitute(text, "{card titles}", ChoiceList(kCardTypeRows, &CardTypeRow::title));
    Substitute(text, "{card sizes}", CardSizeLines());
    Substitute(text, "{modes}", NameAlternatives(kEraseModeRows));
    Substitute(text, "{mode lines}", ModeLines());
    return text;
}
