// veltrane-format as a user runs it, on sparse image files: every card type
// and size class, checked by fsck (through card-inspect) and mtools; the
// erase modes; and the refusals, which must leave the image as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "image_tools.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

using test_support::CommandResult;
using test_support::run_command;

std::string Quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

// Never --force or --yes unless a case says so; the answer to the question
// comes from stdinText (empty: end of input, which is no).
CommandResult Format(const std::string& arguments, const std::string& stdinText = "")
{
    return run_command("printf '" + stdinText + "' | " VELTRANE_FORMAT_PATH " " + arguments);
}

// A program running in the background, its output read as it comes: the
// test acts on the card at a point the output names.
class Background {
public:
    // Which of the program's outputs is a pipe nobody reads (closed at its
    // far end); the others come to Output(). answered: its input is a pipe
    // that Answer() writes, instead of end of input.
    enum Closed { none = 0, standardOutput = 1, standardError = 2, answered = 4 };

    explicit Background(const std::vector<std::string>& arguments, int closed = none)
    {
        int reading[2];
        int unread[2];
        int input[2];
        if (::pipe(reading) != 0 || ::pipe(unread) != 0 || ::pipe2(input, O_CLOEXEC) != 0) {
            return;
        }
        ::close(unread[0]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if ((closed & answered) != 0) {
            posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_adddup2(&actions, (closed & standardOutput) != 0 ? unread[1] : reading[1],
                                         STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, (closed & standardError) != 0 ? unread[1] : reading[1],
                                         STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(reading[1]);
        ::close(unread[1]);
        ::close(input[0]);
        output_ = reading[0];
        input_ = input[1];
    }
    ~Background()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Finish();
        }
        ::close(output_);
        ::close(input_);
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // Reads until the output holds text; false at its end without it.
    bool WaitFor(const std::string& text)
    {
        while (text_.find(text) == std::string::npos) {
            if (!ReadSome()) {
                return false;
            }
        }
        return true;
    }
    void Signal(int signal) const { ::kill(pid_, signal); }
    void Answer(const std::string& text) const { (void)!::write(input_, text.data(), text.size()); }
    // Reads the rest and waits: the exit status, or 128 + the signal that ended it.
    int Finish()
    {
        while (ReadSome()) {
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string& Output() const { return text_; }

private:
    bool ReadSome()
    {
        char buffer[4096];
        const ssize_t count = ::read(output_, buffer, sizeof buffer);
        if (count <= 0) {
            return false;
        }
        text_.append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    pid_t pid_ = -1;
    int output_ = -1;
    int input_ = -1;
    std::string text_;
};

timespec Modified(const fs::path& path)
{
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mtim;
}

std::map<std::string, std::string> Inspect(const fs::path& image, const std::string& fileSystem,
                                           const std::string& label, int& exitCode)
{
    const CommandResult run = run_command(CARD_INSPECT_PATH " " + Quoted(image) + " --expect-fs " + fileSystem +
                                          " --expect-label '" + label + "'");
    exitCode = run.exit_code;
    std::map<std::string, std::string> facts;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (const std::size_t equals = line.find('='); equals != std::string::npos) {
            facts[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return facts;
}

class VeltraneFormat : public ::testing::Test {
protected:
    void SetUp() override { setenv("MTOOLS_SKIP_CHECK", "1", 1); }

    fs::path Image(const std::string& name, std::uint64_t lengthBytes)
    {
        const fs::path path = directory_.file(name);
        EXPECT_TRUE(test_support::make_sparse_file(path, lengthBytes));
        return path;
    }

    test_support::ScratchDirectory directory_;
};

TEST_F(VeltraneFormat, EachCardTypeAndSizeClassGetsTheDialogsFileSystem)
{
    const struct {
        const char* card;
        std::uint64_t lengthBytes;
        const char* label;  // FAT labels are stored in capitals, exFAT's as typed
        const char* builder;
        const char* fileSystem;
        const char* partitionStart;  // nullptr: not checked
    } cases[] = {
        {"sd", 256 * kMiB, "SD_256M", "SD (FAT12/FAT16)", "fat16", nullptr},
        {"sd", 8 * kGiB, "SD_8G", "FAT32", "fat32", "8192"},
        {"sd", 64 * kGiB, "Sd_64g", "exFAT", "exfat", nullptr},
        {"mmc", 256 * kMiB, "MMC_256M", "MMC", "fat16", nullptr},
        {"mmc", 64 * kGiB, "MMC_64G", "MMC", "fat32", nullptr},
        {"cf", 1 * kGiB, "CF_1G", "CF", "fat16", "63"},
        {"cf", 4 * kGiB, "CF_4G", "CF", "fat32", "63"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.card) + " " + std::to_string(c.lengthBytes));
        const fs::path image = Image("card.img", c.lengthBytes);
        const CommandResult run =
            Format(std::string("--card ") + c.card + " --label '" + c.label + "' --yes " + Quoted(image));
        EXPECT_EQ(run.exit_code, 0) << run.output;
        EXPECT_NE(run.output.find(std::string("Builder:   ") + c.builder), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("Success \nPlease re-insert the card\n"), std::string::npos) << run.output;
        EXPECT_EQ(fs::file_size(image), c.lengthBytes);

        int inspectExit = -1;
        const auto facts = Inspect(image, c.fileSystem, c.label, inspectExit);
        EXPECT_EQ(inspectExit, 0);
        EXPECT_EQ(facts.at("fsck"), "clean");
        if (c.partitionStart != nullptr) {
            EXPECT_EQ(facts.at("partition_start_sector"), c.partitionStart);
        }
        fs::remove(image);
    }
}

TEST_F(VeltraneFormat, AFormattedFatCardTakesAFileAndGivesItBack)
{
    const fs::path image = Image("card.img", 256 * kMiB);
    ASSERT_EQ(Format("--yes --label HOLIDAY " + Quoted(image)).exit_code, 0);
    int inspectExit = -1;
    const auto facts = Inspect(image, "fat16", "HOLIDAY", inspectExit);
    ASSERT_EQ(inspectExit, 0);
    const std::string drive =
        "-i " + Quoted(image) + "@@" + std::to_string(std::stoull(facts.at("partition_start_sector")) * 512);

    const fs::path original = directory_.file("photo.jpg");
    std::ofstream(original) << std::string(100'000, 'x') << "end";
    ASSERT_EQ(run_command("mcopy " + drive + " " + Quoted(original) + " ::PHOTO.JPG").exit_code, 0);
    const CommandResult listing = run_command("mdir " + drive + " ::");
    EXPECT_NE(listing.output.find("HOLIDAY"), std::string::npos) << listing.output;
    EXPECT_NE(listing.output.find("PHOTO"), std::string::npos) << listing.output;
    const fs::path copy = directory_.file("back.jpg");
    ASSERT_EQ(run_command("mcopy " + drive + " ::PHOTO.JPG " + Quoted(copy)).exit_code, 0);
    EXPECT_EQ(run_command("cmp " + Quoted(original) + " " + Quoted(copy)).exit_code, 0);
}

TEST_F(VeltraneFormat, LabelsBeyondAsciiReadBackAsTyped)
{
    const struct {
        const char* options;
        std::uint64_t lengthBytes;
        const char* label;        // UTF-8, as typed in the terminal
        const char* inspectPage;  // the code page card-inspect reads a FAT label in
        const char* shown;
        const char* bytes;
        const char* plan;  // the plan's label, as stored and as typed
    } cases[] = {
        {"--card sd", 256 * kMiB, "Caf\u00e9", "850", "CAF\u00c9", "43 41 46 90",
         "label \"CAF\u00c9\", typed \"Caf\u00e9\""},
        {"--card cf --codepage 437", 256 * kMiB, "Smørrebrød", "437", "SM_RREBR_D", "53 4d 5f 52 52 45 42 52 5f 44",
         "label \"SM_RREBR_D\", typed \"Smørrebrød\""},
        {"--card sd --codepage=437", 64 * kGiB, "Caf\u00e9\u65e5\u672c", "850", "Caf\u00e9\u65e5\u672c",
         "43 61 66 c3 a9 e6 97 a5 e6 9c ac", "label \"Caf\u00e9\u65e5\u672c\"\n"},
        {"--card sd", 256 * kMiB, "  a b  ", "850", "A B", "41 20 42", "label \"A B\", typed \"  a b  \""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const fs::path image = Image("card.img", c.lengthBytes);
        const CommandResult run = Format(std::string(c.options) + " --label '" + c.label + "' --yes " + Quoted(image));
        ASSERT_EQ(run.exit_code, 0) << run.output;
        EXPECT_NE(run.output.find(c.plan), std::string::npos) << run.output;
        // The facts, not the verdict: fsck.fat 4.2 refuses any FAT label byte from 80h up.
        const CommandResult inspect =
            run_command(CARD_INSPECT_PATH " " + Quoted(image) + " --codepage " + c.inspectPage);
        EXPECT_NE(inspect.output.find(std::string("\nlabel=") + c.shown + "\n"), std::string::npos) << inspect.output;
        EXPECT_NE(inspect.output.find(std::string("\nlabel_bytes=") + c.bytes + "\n"), std::string::npos)
            << inspect.output;
        fs::remove(image);
    }
    EXPECT_EQ(Format("--codepage 1252 --yes " + Quoted(Image("card.img", 256 * kMiB))).exit_code, 2);
}

TEST_F(VeltraneFormat, CardInspectNamesAnImageShorterThanASector)
{
    for (const std::uint64_t lengthBytes : {0, 10, 511}) {
        const fs::path image = Image("short.img", lengthBytes);
        const CommandResult inspect = run_command(CARD_INSPECT_PATH " " + Quoted(image));
        EXPECT_EQ(inspect.exit_code, 2) << inspect.output;
        EXPECT_NE(inspect.output.find("shorter than one 512-byte sector"), std::string::npos) << inspect.output;
    }
}

TEST_F(VeltraneFormat, EraseModesZeroWhatTheDialogsModesZero)
{
    // Markers deep in the data area, where the builders write nothing: one
    // in the first 8 KiB of a 512 KiB block, one beyond them.
    constexpr std::uint64_t kBlock = 60 * 512 * 1024;
    constexpr std::uint64_t kInside = kBlock + 100;
    constexpr std::uint64_t kBeyond = kBlock + 9000;
    const struct {
        const char* mode;
        bool insideZeroed;
        bool beyondZeroed;
    } cases[] = {
        {"", false, false},
        {"--mode optimized", true, false},
        {"--mode complete", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const fs::path image = Image("erase.img", 32 * kMiB);
        {
            std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(kInside).put('M');
            file.seekp(kBeyond).put('M');
        }
        const CommandResult run = Format(std::string(c.mode) + " --yes " + Quoted(image));
        EXPECT_EQ(run.exit_code, 0) << run.output;
        std::ifstream file(image, std::ios::binary);
        EXPECT_EQ(file.seekg(kInside).get() == 0, c.insideZeroed);
        EXPECT_EQ(file.seekg(kBeyond).get() == 0, c.beyondZeroed);
        EXPECT_EQ(fs::file_size(image), 32 * kMiB);
        int inspectExit = -1;
        Inspect(image, "fat12", "BREVALD", inspectExit);
        EXPECT_EQ(inspectExit, 0);
        fs::remove(image);
    }
}

// An exFAT card's flash-parameters record (OEM parameters, volume sector 9)
// outlives the trial write of sector 0 and either erase, which zero the boot
// region before the builder comes: the new volume holds it in both boot
// regions under a fresh checksum. Anything else there is not kept.
TEST_F(VeltraneFormat, AnExfatCardKeepsItsFlashParametersThroughEveryEraseMode)
{
    const std::vector<std::uint8_t> flashGuid = {0x46, 0x7E, 0x0C, 0x0A, 0x99, 0x33, 0x21, 0x40,
                                                 0x90, 0xC8, 0xFA, 0x6D, 0x38, 0x9C, 0x4B, 0xA2};
    std::vector<std::uint8_t> kept(512, 0);
    std::copy(flashGuid.begin(), flashGuid.end(), kept.begin() + 48);  // the second record
    kept[48 + 16 + 2] = 0x40;                                          // erase block size 4 MiB
    std::vector<std::uint8_t> withRecord = kept;
    withRecord[500] = 0x77;  // past the ten records
    const std::vector<std::uint8_t> garbage(512, 0x5A);
    const std::vector<std::uint8_t> zeros(512, 0);
    const struct {
        const char* mode;
        const std::vector<std::uint8_t>& before;
        const std::vector<std::uint8_t>& after;
    } cases[] = {
        {"", withRecord, kept},
        {"--mode optimized", withRecord, kept},
        {"--mode complete", withRecord, kept},
        {"--mode optimized", garbage, zeros},
    };
    const auto sector = [](const fs::path& image, std::uint64_t index) {
        std::vector<std::uint8_t> bytes(512);
        std::ifstream file(image, std::ios::binary);
        file.seekg(static_cast<std::streamoff>(index * 512)).read(reinterpret_cast<char*>(bytes.data()), 512);
        return bytes;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + (&c.before == &garbage ? " garbage" : " record"));
        const fs::path image = Image("card.img", 33 * kGiB);
        ASSERT_EQ(Format("--card sd --yes " + Quoted(image)).exit_code, 0);
        const std::vector<std::uint8_t> mbr = sector(image, 0);
        const std::uint64_t start = mbr[0x1C6] | mbr[0x1C7] << 8 | mbr[0x1C8] << 16 | std::uint64_t{mbr[0x1C9]} << 24;
        {
            std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(static_cast<std::streamoff>((start + 9) * 512))
                .write(reinterpret_cast<const char*>(c.before.data()), 512);
        }
        const CommandResult run = Format(std::string("--card sd --yes ") + c.mode + " " + Quoted(image));
        ASSERT_EQ(run.exit_code, 0) << run.output;
        EXPECT_EQ(sector(image, start + 9), c.after);
        EXPECT_EQ(sector(image, start + 12 + 9), c.after);
        int inspectExit = -1;
        const auto facts = Inspect(image, "exfat", "BREVALD", inspectExit);
        EXPECT_EQ(inspectExit, 0);
        EXPECT_EQ(facts.at("fsck"), "clean");
        fs::remove(image);
    }
}

// A closed output stops the printing, not the job. A stop signal during the
// erase ends it after the write in flight, and the program says how far it
// got; the erase of a 256 GiB image takes seconds, the signal comes as it starts.
TEST_F(VeltraneFormat, AClosedOutputOrAStopSignalLeavesTheCardInAStateTheProgramNames)
{
    const struct {
        const char* name;
        int closed;
        int signal;  // 0: none
        std::uint64_t lengthBytes;
        int exitCode;
    } cases[] = {
        {"stdout closed", Background::standardOutput, 0, 256 * kMiB, 0},
        {"stderr closed", Background::standardError, 0, 256 * kMiB, 0},
        {"SIGINT", Background::none, SIGINT, 256 * kGiB, 9},
        {"SIGTERM", Background::none, SIGTERM, 256 * kGiB, 9},
        {"SIGHUP", Background::none, SIGHUP, 256 * kGiB, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path image = Image("card.img", c.lengthBytes);
        Background run({VELTRANE_FORMAT_PATH, "--yes", "--mode", "optimized", image.string()}, c.closed);
        if (c.signal != 0) {
            ASSERT_TRUE(run.WaitFor("Erasing")) << run.Output();
            run.Signal(c.signal);
        }
        EXPECT_EQ(run.Finish(), c.exitCode) << run.Output();
        EXPECT_EQ(fs::file_size(image), c.lengthBytes);
        if (c.signal == 0) {
            int inspectExit = -1;
            Inspect(image, "fat16", "BREVALD", inspectExit);
            EXPECT_EQ(inspectExit, 0);
        } else {
            const std::string said = std::string("stopped by ") + c.name + ": erased up to ";
            const std::size_t at = run.Output().find(said);
            ASSERT_NE(at, std::string::npos) << run.Output();
            unsigned long long reached = 0;
            unsigned long long length = 0;
            EXPECT_EQ(std::sscanf(run.Output().c_str() + at + said.size(), "%llu of %llu bytes; no file system",
                                  &reached, &length),
                      2)
                << run.Output();
            EXPECT_GT(reached, 0u);
            EXPECT_LT(reached, c.lengthBytes) << "the erase ran to its end";
            EXPECT_EQ(length, c.lengthBytes);
            std::string first(512, 'x');
            std::ifstream(image, std::ios::binary).read(first.data(), 512);
            EXPECT_EQ(first, std::string(512, '\0'));
        }
        fs::remove(image);
    }
}

// The first job is held still in its erase while a second one starts on the
// same card, by its own name or by another that stores it (a loop device
// over its image, two loop devices over one file, a loop device at an
// offset into the image): the second writes nothing, and the first ends
// with its own file system.
TEST_F(VeltraneFormat, ASecondJobOnACardBeingFormattedWritesNothing)
{
    enum Name { image, loop, otherLoop, offsetLoop };
    const struct {
        const char* name;
        Name first;
        Name second;
        std::uint64_t lengthBytes;
        const char* fileSystem;
        std::string secondCommand;
    } cases[] = {
        {"veltrane-format, image", image, image, 16 * kGiB, "fat32", VELTRANE_FORMAT_PATH " --yes --label SECOND"},
        {"trellan-format, image", image, image, 16 * kGiB, "fat32", TRELLAN_FORMAT_PATH " --builder sd --label SECOND"},
        {"veltrane-format, loop device", loop, loop, 8 * kGiB, "fat32",
         VELTRANE_FORMAT_PATH " --yes --force --label SECOND"},
        {"veltrane-format, the image under the loop device", loop, image, 8 * kGiB, "fat32",
         VELTRANE_FORMAT_PATH " --yes --label SECOND"},
        {"veltrane-format, a loop device over the image", image, loop, 8 * kGiB, "fat32",
         VELTRANE_FORMAT_PATH " --yes --force --label SECOND"},
        {"veltrane-format, a second loop device over the file", loop, otherLoop, 8 * kGiB, "fat32",
         VELTRANE_FORMAT_PATH " --yes --force --label SECOND"},
        {"trellan-format, a loop device at an offset into the image", image, offsetLoop, 8 * kGiB, "fat32",
         TRELLAN_FORMAT_PATH " --builder sd --force --label SECOND"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path image = Image("card.img", c.lengthBytes);
        std::vector<std::string> loops;
        const auto named = [&](Name name) -> std::string {
            if (name == Name::image) {
                return image.string();
            }
            if (name == Name::loop && !loops.empty()) {
                return loops.front();
            }
            const CommandResult attach =
                run_command(std::string("losetup ") + (name == Name::offsetLoop ? "--offset 1048576 " : "") +
                            "--find --show " + Quoted(image));
            loops.push_back(attach.exit_code == 0 ? attach.output.substr(0, attach.output.find('\n')) : "");
            return loops.back();
        };
        const std::string first = named(c.first);
        const std::string second = named(c.second);
        if (first.empty() || second.empty()) {
            GTEST_SKIP() << "cannot attach a loop device here";
        }
        {
            Background running(
                {VELTRANE_FORMAT_PATH, "--yes", "--force", "--mode", "optimized", "--label", "FIRST", first});
            ASSERT_TRUE(running.WaitFor("Erasing")) << running.Output();
            running.Signal(SIGSTOP);
            const timespec before = Modified(image);
            const CommandResult refused = run_command(c.secondCommand + " " + Quoted(second) + " </dev/null");
            const timespec after = Modified(image);
            running.Signal(SIGCONT);
            EXPECT_EQ(refused.exit_code, 8) << refused.output;
            EXPECT_NE(refused.output.find("being formatted by another program"), std::string::npos) << refused.output;
            if (loops.empty()) {
                EXPECT_TRUE(before.tv_sec == after.tv_sec && before.tv_nsec == after.tv_nsec) << "the second job wrote";
            }
            EXPECT_EQ(running.Finish(), 0) << running.Output();
        }
        for (const std::string& attached : loops) {
            run_command("losetup --detach " + Quoted(attached));
        }
        int inspectExit = -1;
        Inspect(image, c.fileSystem, "FIRST", inspectExit);
        EXPECT_EQ(inspectExit, 0);
        fs::remove(image);
    }
}

// A card pulled during the capacity check: its image, cut short before the
// check writes beyond its first MiB, stays short. Cut before the check has
// begun, it no longer reads as the card agreed to (status 1).
TEST_F(VeltraneFormat, AnImageCutShortDuringTheCapacityCheckDoesNotGrowBack)
{
    const fs::path image = Image("card.img", 256 * kMiB);
    Background run({VELTRANE_FORMAT_PATH, "--yes", "--check-capacity", "--full", image.string()});
    ASSERT_TRUE(run.WaitFor("Builder:")) << run.Output();
    run.Signal(SIGSTOP);
    fs::resize_file(image, kMiB);
    run.Signal(SIGCONT);
    const int status = run.Finish();
    EXPECT_TRUE(status == 7 || status == 1) << run.Output();
    EXPECT_EQ(fs::file_size(image), kMiB) << run.Output();
}

struct Snapshot {
    std::string bytes;
    timespec modified{};

    static Snapshot Of(const fs::path& path)
    {
        Snapshot snapshot;
        std::ifstream file(path, std::ios::binary);
        snapshot.bytes.assign(std::istreambuf_iterator<char>(file), {});
        struct stat status {};
        ::stat(path.c_str(), &status);
        snapshot.modified = status.st_mtim;
        return snapshot;
    }
    bool operator==(const Snapshot& other) const
    {
        return bytes == other.bytes && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

// Where the trial write, the erase and every builder write first.
std::string FirstMiB(const fs::path& path)
{
    std::string bytes(kMiB, '\0');
    std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// Started with standard input, or output and error, closed, a command line
// never takes the card for them: it does not read its answer from a card
// that begins with "y", nor write its texts into the card.
TEST_F(VeltraneFormat, TheCardIsNeverTakenForTheTerminal)
{
    const struct {
        const char* name;
        std::string command;  // IMAGE stands for the card
        int exitCode;
        bool formatted;
    } cases[] = {
        {"input closed", VELTRANE_FORMAT_PATH " IMAGE <&-", 3, false},
        {"output and error closed", VELTRANE_FORMAT_PATH " --yes IMAGE >&- 2>&-", 0, true},
        {"trellan-format, output and error closed", TRELLAN_FORMAT_PATH " --builder sd --label BREVALD IMAGE >&- 2>&-",
         0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path image = Image("card.img", 64 * kMiB);
        std::fstream(image, std::ios::in | std::ios::out | std::ios::binary).write("y\n", 2);
        const Snapshot before = Snapshot::Of(image);
        std::string command = c.command;
        command.replace(command.find("IMAGE"), 5, Quoted(image));
        EXPECT_EQ(run_command("{ " + command + "; }").exit_code, c.exitCode);
        const Snapshot after = Snapshot::Of(image);
        if (!c.formatted) {
            EXPECT_TRUE(after == before) << "the card was written";
        } else {
            EXPECT_EQ(after.bytes.find("Builder"), std::string::npos) << "a text went into the card";
            EXPECT_EQ(after.bytes.find("file system:"), std::string::npos) << "a text went into the card";
            int inspectExit = -1;
            Inspect(image, "fat16", "BREVALD", inspectExit);
            EXPECT_EQ(inspectExit, 0);
        }
        fs::remove(image);
    }
}

// The card is sampled before the question and held open from then on: a
// card swapped while the question waits or during the erase (its image
// overwritten, the symbolic link named retargeted, another file moved into
// its place) ends the job with the dialog's words, and the card now under
// the name keeps its bytes.
TEST_F(VeltraneFormat, ACardSwappedWhileTheQuestionWaitsOrDuringTheEraseIsNotFormatted)
{
    const struct {
        const char* name;
        bool duringErase;  // else while the question waits
        const char* swap;  // in the scratch folder: card.img is named through card, other.img is the new card
        const char* text;
    } cases[] = {
        {"image overwritten", false, "cp other.img card.img", "not the one you agreed to erase"},
        {"symbolic link retargeted", false, "ln -sfn other.img card", "not the one you agreed to erase"},
        {"file moved into place", false, "mv other.img card.img", "not the one you agreed to erase"},
        {"file moved into place during the erase", true, "mv other.img card.img", "changed during the erase"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test_support::ScratchDirectory scratch;
        const std::uint64_t lengthBytes = c.duringErase ? 16 * kGiB : 64 * kMiB;
        for (const char* name : {"card.img", "other.img"}) {
            ASSERT_TRUE(test_support::make_sparse_file(scratch.file(name), lengthBytes));
            std::fstream(scratch.file(name), std::ios::in | std::ios::out | std::ios::binary).write(name, 9);
        }
        fs::create_symlink("card.img", scratch.file("card"));
        const std::string other = FirstMiB(scratch.file("other.img"));
        std::vector<std::string> arguments = {VELTRANE_FORMAT_PATH, "--mode", "optimized"};
        if (c.duringErase) {
            arguments.push_back("--yes");
        }
        arguments.push_back(scratch.file("card").string());
        Background run(arguments, Background::answered);
        ASSERT_TRUE(run.WaitFor(c.duringErase ? "Erasing" : "continue ?")) << run.Output();
        run.Signal(SIGSTOP);
        ASSERT_EQ(run_command("cd " + Quoted(scratch.path()) + " && " + c.swap).exit_code, 0);
        run.Signal(SIGCONT);
        run.Answer("y\n");
        EXPECT_EQ(run.Finish(), 1) << run.Output();
        EXPECT_NE(run.Output().find(c.text), std::string::npos) << run.Output();
        EXPECT_EQ(run.Output().find("Success"), std::string::npos) << run.Output();
        EXPECT_EQ(FirstMiB(scratch.file("card")), other) << "the card under the name was written";
    }
}

// A card pulled in the middle of the build: the image is cut while a write
// waits to be made (strace holds it), and that write, made after the cut,
// must not grow the image back nor the job end as formatted.
TEST_F(VeltraneFormat, AnImageCutShortDuringTheBuildIsNotGrownBackNorFormatted)
{
    if (run_command("command -v strace").exit_code != 0) {
        GTEST_SKIP() << "no strace";
    }
    const struct {
        const char* command;
        std::uint64_t cutBytes;
        const char* text;
    } cases[] = {
        {TRELLAN_FORMAT_PATH " --builder sd", 0, "the card was removed, or shrank"},
        {VELTRANE_FORMAT_PATH " --yes", 512, "the card was removed, or shrank"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const fs::path image = Image("card.img", 64 * kMiB);
        // The third write of each is the builder's; the job's trial write and the erase punch holes.
        // The cut comes once strace shows that write entered (and held), however long the run took
        // to get there.
        const std::string trace = Quoted(image.string() + ".trace");
        const CommandResult run = run_command(
            "{ strace -f -qq -o " + trace + " -e trace=pwrite64 -e inject=pwrite64:delay_enter=1000000:when=3 " +
            std::string(c.command) + " " + Quoted(image) + " </dev/null & until [ \"$(grep -c pwrite64 " + trace +
            " 2>/dev/null)\" -ge 3 ] 2>/dev/null || ! kill -0 $! 2>/dev/null; do sleep 0.01; done; truncate -s " +
            std::to_string(c.cutBytes) + " " + Quoted(image) + "; wait $!; }");
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_NE(run.output.find(c.text), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Success"), std::string::npos) << run.output;
        EXPECT_LE(fs::file_size(image), c.cutBytes) << run.output;
        fs::remove(image);
        fs::remove(image.string() + ".trace");
    }
}

TEST_F(VeltraneFormat, UnusablePathsAndUnansweredQuestionsWriteNothing)
{
    const fs::path card = Image("card.img", 4 * kMiB);
    const fs::path empty = Image("empty.img", 0);
    // Less than one cylinder: shown by its length, not as 0 Bytes.
    const fs::path oneMiB = Image("one.img", kMiB);
    const fs::path overOneMiB = Image("over.img", kMiB + 1);
    const struct {
        std::string arguments;
        std::string answer;
        int exitCode;
        std::string message;
    } cases[] = {
        {Quoted(empty), "y\\n", 4, "zero length"},
        {"--force --yes " + Quoted(empty), "", 4, "zero length"},
        {"--force --yes " + Quoted(directory_.file("missing.img")), "", 4, "No such file"},
        {"--force --yes " + Quoted(directory_.path()), "", 4, "neither an image file nor a block device"},
        {Quoted(card), "", 3, "Nothing was written"},
        {Quoted(card), "n\\n", 3, "Nothing was written"},
        {Quoted(oneMiB), "", 3, "Disk Size: 1 MBytes ( 1048576 Bytes )\n"},
        {Quoted(overOneMiB), "", 3, "Disk Size: 1 MBytes ( 1048577 Bytes )\n"},
        {"--card xd --yes " + Quoted(card), "", 2, "--card takes sd, mmc or cf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Snapshot before = Snapshot::Of(card);
        const CommandResult run = Format(c.arguments, c.answer);
        EXPECT_EQ(run.exit_code, c.exitCode) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_TRUE(Snapshot::Of(card) == before);
        EXPECT_EQ(fs::file_size(empty), 0u);
    }
}

TEST_F(VeltraneFormat, ACardNoLayoutFitsIsRefusedWithTheReasonAndNothingWritten)
{
    const struct {
        const char* name;
        std::uint64_t lengthBytes;
        std::string reason;
    } cases[] = {
        {"tiny.img", 511, "too small to hold a file system"},
        {"huge.img", (std::uint64_t{2} << 40) + kMiB, "cards of up to 2 TiB can be formatted"},
        {"just over.img", (std::uint64_t{2} << 40) + 512, "cards of up to 2 TiB can be formatted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path image = Image(c.name, c.lengthBytes);
        const CommandResult run = Format("--force --yes --mode optimized " + Quoted(image), "");
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
        struct stat status {};
        ASSERT_EQ(::stat(image.c_str(), &status), 0);
        EXPECT_EQ(status.st_blocks, 0) << "the trial write or the erase reached the card";
        EXPECT_EQ(static_cast<std::uint64_t>(status.st_size), c.lengthBytes);
        fs::remove(image);
    }
}

// The machine's own root disk, found from the mount table; read-only
// queries only: no --force, no --yes, and end of input for the question.
TEST_F(VeltraneFormat, TheMachinesFixedRootDiskIsRefused)
{
    const CommandResult root = run_command("awk '$5 == \"/\" { print $3; exit }' /proc/self/mountinfo");
    const std::string number = root.output.substr(0, root.output.find('\n'));
    const CommandResult name = run_command("sed -n 's/^DEVNAME=//p' /sys/dev/block/" + number + "/uevent");
    const fs::path device = "/dev/" + name.output.substr(0, name.output.find('\n'));
    std::ifstream removable("/sys/dev/block/" + number + "/removable");
    char flag = '?';
    removable >> flag;
    struct stat status {};
    if (name.output.empty() || ::stat(device.c_str(), &status) != 0 || !S_ISBLK(status.st_mode) || flag != '0') {
        GTEST_SKIP() << "no fixed block device holds / here (" << number << ")";
    }
    const CommandResult run = Format(Quoted(device));
    EXPECT_EQ(run.exit_code, 5) << run.output;
    EXPECT_NE(run.output.find("not a removable medium"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Disk Size"), std::string::npos) << run.output;
}

// A private mount namespace: the mount (and its loop device) go away with
// the shell, whatever happens to the test. Both command lines, on the image
// and on the loop device it is mounted through; --force never gets past the
// system's hold on a mounted device.
TEST_F(VeltraneFormat, AMountedFileSystemIsRefusedByBothCommandLines)
{
    if (run_command("command -v mkfs.ext4").exit_code != 0) {
        GTEST_SKIP() << "no mkfs.ext4";
    }
    const struct {
        std::string command;  // on the image or on $loop, in the shell that mounted it
        int exitCode;
        const char* message;
        bool partitioned;  // the file system is in the image's first partition, through a partitioned loop device
    } cases[] = {
        {VELTRANE_FORMAT_PATH " --yes IMAGE", 6, "holds a mounted file system", false},
        {TRELLAN_FORMAT_PATH " --builder sd IMAGE", 6, "holds a mounted file system", false},
        {TRELLAN_FORMAT_PATH " --builder sd \\\"\\$loop\\\"", 5, "not a removable medium", false},
        {TRELLAN_FORMAT_PATH " --builder sd --force \\\"\\$loop\\\"", 8, "or the system holds it", false},
        {VELTRANE_FORMAT_PATH " --yes --force \\\"\\$loop\\\"", 8, "or the system holds it", false},
        {VELTRANE_FORMAT_PATH " --yes IMAGE", 6, "holds a mounted file system", true},
        {TRELLAN_FORMAT_PATH " --builder sd IMAGE", 6, "holds a mounted file system", true},
    };
    // Mounting writes to the image itself; the first 1 KiB is ext4's unused
    // boot block, where the trial write and a partition table would land.
    // A partitioned image keeps its boot code and partition table there.
    const std::string marker(1024, 'M');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + (c.partitioned ? ", partitioned" : ""));
        const fs::path image = Image("mounted.img", 16 * kMiB);
        const fs::path mountPoint = directory_.file("mnt");
        fs::create_directories(mountPoint);
        std::string mount = "mount -o loop " + Quoted(image) + " " + Quoted(mountPoint);
        std::string unmount;
        if (c.partitioned) {
            ASSERT_EQ(run_command("printf 'start=2048, type=83\\n' | sfdisk -q " + Quoted(image)).exit_code, 0);
            std::fstream(image, std::ios::in | std::ios::out | std::ios::binary).write(marker.data(), 440);
            mount =
                "loop=\\$(losetup -P --find --show " + Quoted(image) +
                ") && { partx -a \\$loop; test -b \\${loop}p1; } && mkfs.ext4 -q \\${loop}p1 && mount \\${loop}p1 " +
                Quoted(mountPoint);
            unmount = "; status=\\$?; umount " + Quoted(mountPoint) + "; losetup -d \\$loop; exit \\$status";
        } else {
            ASSERT_EQ(run_command("mkfs.ext4 -q " + Quoted(image)).exit_code, 0);
            std::fstream(image, std::ios::in | std::ios::out | std::ios::binary).write(marker.data(), marker.size());
        }
        const std::string before = Snapshot::Of(image).bytes.substr(0, marker.size());
        std::string command = c.command;
        if (const std::size_t at = command.find("IMAGE"); at != std::string::npos) {
            command.replace(at, 5, Quoted(image));
        }
        const CommandResult run = run_command("unshare --mount --propagation private sh -c \"" + mount +
                                              " || exit 99; loop=\\$(losetup -n -O NAME -j " + Quoted(image) +
                                              " | head -n 1); " + command + unmount + "\"");
        if (run.exit_code == 99) {
            GTEST_SKIP() << "cannot mount a loop device here: " << run.output;
        }
        EXPECT_EQ(run.exit_code, c.exitCode) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_EQ(Snapshot::Of(image).bytes.substr(0, marker.size()), before);
        if (!c.partitioned) {
            EXPECT_EQ(run_command("fsck.ext4 -n " + Quoted(image)).exit_code, 0);
        }
        fs::remove(image);
    }
}

// The mounted image named otherwise than it was mounted: what counts is the
// file, not the text of its path. The last case leaves the loop device's
// record of its backing file as the only trace of the mount.
TEST_F(VeltraneFormat, AMountedImageIsRefusedUnderEveryOtherName)
{
    if (run_command("command -v mkfs.ext4").exit_code != 0) {
        GTEST_SKIP() << "no mkfs.ext4";
    }
    const struct {
        std::string name;
        std::string setUp;  // after the mount, in the same mount namespace
        std::string target;
    } cases[] = {
        {"hard link", "ln cards/card.img link.img", "link.img"},
        {"symbolic link", "ln -s cards/card.img link.img", "link.img"},
        {"bind-mounted folder", "mkdir bound && mount --bind cards bound", "bound/card.img"},
        {"hard link, mounted name deleted", "ln cards/card.img link.img && rm cards/card.img", "link.img"},
    };
    const std::string marker(1024, 'M');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test_support::ScratchDirectory scratch;
        fs::create_directories(scratch.file("cards"));
        fs::create_directories(scratch.file("mnt"));
        const fs::path image = scratch.file("cards/card.img");
        ASSERT_TRUE(test_support::make_sparse_file(image, 16 * kMiB));
        ASSERT_EQ(run_command("mkfs.ext4 -q " + Quoted(image)).exit_code, 0);
        std::fstream(image, std::ios::in | std::ios::out | std::ios::binary).write(marker.data(), marker.size());

        const CommandResult run =
            run_command("cd " + Quoted(scratch.path()) + " && unshare --mount --propagation private sh -c \"" +
                        "mount -o loop cards/card.img mnt || exit 99; " + c.setUp +
                        " || exit 98; " VELTRANE_FORMAT_PATH " --yes " + c.target + "\"");
        if (run.exit_code == 99) {
            GTEST_SKIP() << "cannot mount a loop device here: " << run.output;
        }
        const fs::path target = scratch.path() / (c.name.starts_with("bind") ? "cards/card.img" : c.target);
        EXPECT_EQ(run.exit_code, 6) << run.output;
        EXPECT_NE(run.output.find("holds a mounted file system"), std::string::npos) << run.output;
        EXPECT_TRUE(Snapshot::Of(target).bytes.starts_with(marker)) << "the image was written";
        EXPECT_EQ(run_command("fsck.ext4 -n " + Quoted(target)).exit_code, 0);
    }
}

// A read-only loop device stands for a locked card: the trial write fails.
TEST_F(VeltraneFormat, AWriteProtectedCardFailsWithTheDialogsMessage)
{
    const fs::path image = Image("locked.img", 32 * kMiB);
    const CommandResult attach = run_command("losetup --read-only --find --show " + Quoted(image));
    if (attach.exit_code != 0) {
        GTEST_SKIP() << "cannot attach a loop device here: " << attach.output;
    }
    const std::string loop = attach.output.substr(0, attach.output.find('\n'));
    // A loop device is no removable medium: --force, on our own loop only.
    const CommandResult run = Format("--force --yes --mode complete " + Quoted(loop));
    run_command("losetup --detach " + Quoted(loop));
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find("Disk Size: 31 MBytes ( 32901120 Bytes )"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Disk is Write-Protect !!!"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Fail\nFormat Error\n"), std::string::npos) << run.output;
}

// The system's refusal is no locked card: an immutable image, or one on a
// file system mounted read-only.
TEST_F(VeltraneFormat, APermissionErrorIsReportedAsOne)
{
    const fs::path image = Image("card.img", 32 * kMiB);
    const std::string format = VELTRANE_FORMAT_PATH " --yes " + Quoted(image);
    const std::string folder = Quoted(directory_.path());
    const struct {
        const char* name;
        std::string command;  // exit 99: this machine cannot set the case up
        const char* reason;
    } cases[] = {
        {"immutable",
         "(chattr +i " + Quoted(image) + " || exit 99; " + format + "; status=$?; chattr -i " + Quoted(image) +
             "; exit $status)",
         "Operation not permitted"},
        {"read-only mount",
         "unshare --mount --propagation private sh -c \"mount --bind " + folder + " " + folder +
             " && mount -o remount,bind,ro " + folder + " || exit 99; " + format + "\"",
         "Read-only file system"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Snapshot before = Snapshot::Of(image);
        const CommandResult run = run_command(c.command);
        if (run.exit_code == 99) {
            std::printf("skipped %s: cannot set it up here: %s\n", c.name, run.output.c_str());
            continue;
        }
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_NE(run.output.find(std::string("Permission error: the card cannot be written: ") + c.reason),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(run.output.find("Write-Protect"), std::string::npos) << run.output;
        EXPECT_TRUE(Snapshot::Of(image) == before);
    }
}

}  // namespace
