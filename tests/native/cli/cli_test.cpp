// The command line's decisions: options, the mount table, and the geometry
// that makes a device's size class the dialog's.
#include "cli/command_line.h"
#include "cli/drive_letter.h"
#include "cli/posix_raw_volume.h"
#include "drives/capacity_text.h"
#include "guard/mount_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CommandLine Parse(std::vector<const char*> arguments)
{
    return ParseCommandLine(arguments);
}

TEST(VeltraneFormatCommandLine, OptionsMapToTheDialogsChoices)
{
    const struct {
        std::vector<const char*> arguments;
        CardType card;
        EraseMode mode;
        std::string label;
        bool yes;
        bool force;
        std::string path;
    } cases[] = {
        {{"card.img"}, CardType::sd, EraseMode::none, "BREVALD", false, false, "card.img"},
        {{"--card", "cf", "--mode", "complete", "card.img"},
         CardType::cf,
         EraseMode::complete,
         "BREVALD",
         false,
         false,
         "card.img"},
        {{"--card=mmc", "--mode=optimized", "--label=PHOTOS", "-y", "/dev/sdc"},
         CardType::mmc,
         EraseMode::optimized,
         "PHOTOS",
         true,
         false,
         "/dev/sdc"},
        {{"--force", "--yes", "--label", "", "--", "--odd-name"},
         CardType::sd,
         EraseMode::none,
         "",
         true,
         true,
         "--odd-name"},
        {{"--label", "FIFTEEN_BYTES_X", "x"}, CardType::sd, EraseMode::none, "FIFTEEN_BYTES_X", false, false, "x"},
    };
    for (const auto& c : cases) {
        const CommandLine line = Parse(c.arguments);
        EXPECT_EQ(line.error, "") << c.path;
        EXPECT_EQ(line.request, CommandRequest::format);
        EXPECT_EQ(line.cardType, c.card) << c.path;
        EXPECT_EQ(line.eraseMode, c.mode) << c.path;
        EXPECT_EQ(line.label, c.label) << c.path;
        EXPECT_EQ(line.assumeYes, c.yes) << c.path;
        EXPECT_EQ(line.force, c.force) << c.path;
        EXPECT_EQ(line.path, c.path);
    }
}

TEST(VeltraneFormatCommandLine, UnusableLinesAreRefusedWithAReason)
{
    const std::vector<std::vector<const char*>> cases = {
        {},
        {"--card", "xd", "x"},
        {"--mode", "quick", "x"},
        {"--label", "SIXTEEN_BYTES_XX", "x"},
        {"--codepage", "1252", "x"},  // an ANSI page, not an OEM one
        {"--codepage=850x", "x"},
        {"--codepage", "", "x"},
        {"x", "--label"},
        {"--frobnicate", "x"},
        {"a.img", "b.img"},
        {"--yes=1", "x"},
        {"--verify", "x"},                         // nothing erased to read back
        {"--mode", "optimized", "--verify", "x"},  // blocks left as they were
        {"--full", "x"},
        {"--speed", "--class", "C8", "x"},  // no such class
        {"--class", "U3", "x"},             // nothing measured to judge
        {"--report", "x"},
    };
    for (const auto& arguments : cases) {
        EXPECT_NE(Parse(arguments).error, "") << arguments.size();
    }
}

TEST(VeltraneFormatCommandLine, HealthChecksAreOptIn)
{
    const CommandLine plain = Parse({"x"});
    EXPECT_FALSE(plain.verify || plain.checkCapacity || plain.fullCheck);
    const CommandLine all = Parse({"--check-capacity", "--full", "--mode=complete", "--verify", "x"});
    EXPECT_EQ(all.error, "");
    EXPECT_TRUE(all.verify && all.checkCapacity && all.fullCheck);
    const CommandLine speed = Parse({"--speed", "--class", "v30", "--report", "card.json", "x"});
    EXPECT_EQ(speed.error, "");
    EXPECT_TRUE(speed.speed);
    EXPECT_EQ(speed.speedClass, "V30");
    EXPECT_EQ(speed.reportPath, "card.json");
}

TEST(VeltraneFormatCommandLine, HelpAndVersionWinOverEverythingElse)
{
    EXPECT_EQ(Parse({"--card", "cf", "--help", "--bogus"}).request, CommandRequest::help);
    EXPECT_EQ(Parse({"-h"}).request, CommandRequest::help);
    EXPECT_EQ(Parse({"--version"}).request, CommandRequest::version);
}

TEST(VeltraneFormatCommandLine, TheWindowsToolFormatsDriveLettersOnly)
{
    const struct {
        std::string_view name;
        std::optional<char> letter;
    } cases[] = {
        {"E:", 'E'},
        {"e:", 'E'},
        {"Z:\\", 'Z'},
        {"E", std::nullopt},
        {"E:\\x", std::nullopt},
        {"\\\\.\\E:", std::nullopt},
        {"1:", std::nullopt},
        {"", std::nullopt},
        {"EE:", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DriveLetterNamed(c.name), c.letter) << c.name;
    }
    // Windows stores FAT labels in its own OEM code page.
    EXPECT_NE(ParseCommandLine(std::vector<const char*>{"--codepage", "437", "E:"}, ToolSystem::windowsDrives).error,
              "");
}

TEST(VeltraneFormatMountTable, ParsesDeviceNumbersSourcesAndEscapedPaths)
{
    const std::vector<MountEntry> entries =
        ParseMountInfo("27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
                       "45 27 7:3 / /media/my\\040card rw shared:5 master:2 - vfat /dev/loop3 rw\n"
                       "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
                       "garbage line\n"
                       "46 27 x:y / /bad rw - ext4 /dev/bad rw\n"
                       "47 27 8:17 / /no-separator rw ext4 /dev/sdb1 rw\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].major, 254u);
    EXPECT_EQ(entries[0].minor, 0u);
    EXPECT_EQ(entries[0].source, "/dev/vda");
    EXPECT_EQ(entries[1].major, 7u);
    EXPECT_EQ(entries[1].minor, 3u);
    EXPECT_EQ(entries[1].mountPoint, "/media/my card");
    EXPECT_EQ(entries[1].source, "/dev/loop3");
    EXPECT_EQ(entries[2].source, "proc");
}

TEST(VeltraneFormatGeometry, SizeLineAndSizeClassMatchTheDialogAndTheHelpText)
{
    constexpr std::uint64_t kCylinderBytes = 255 * 63 * 512;
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
    const struct {
        std::uint64_t lengthBytes;
        std::string sizeLine;
        SizeClass sizeClass;
    } cases[] = {
        {8 * kGiB, "7.99 GBytes ( 8587192320  Bytes )", SizeClass::mid},
        {256 * (kGiB >> 10), "251 MBytes ( 263208960 Bytes )", SizeClass::small},
        {100'000, "0 Bytes", SizeClass::small},  // under one cylinder
        // The boundaries --help states: 265 and 4,177 whole cylinders.
        {265 * kCylinderBytes - 1, "2.02 GBytes ( 2171473920  Bytes )", SizeClass::small},
        {265 * kCylinderBytes, "2.03 GBytes ( 2179699200  Bytes )", SizeClass::mid},
        {4177 * kCylinderBytes - 1, "31.98 GBytes ( 34348769280  Bytes )", SizeClass::mid},
        {4177 * kCylinderBytes, "31.99 GBytes ( 34356994560  Bytes )", SizeClass::large},
        {64 * kGiB, "63.99 GBytes ( 68713989120  Bytes )", SizeClass::large},
    };
    for (const auto& c : cases) {
        const DiskGeometry geometry = DerivedGeometry(c.lengthBytes, 512);
        EXPECT_EQ(CapacityText(DisplayedCapacityBytes(geometry)), c.sizeLine + "    ") << c.lengthBytes;
        EXPECT_EQ(SizeClassOf(CapacityEstimateBytes(geometry).value()), c.sizeClass) << c.lengthBytes;
    }
}

}  // namespace
