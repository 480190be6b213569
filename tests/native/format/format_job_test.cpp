#include "format/format_job.h"
#include "format/layout_check.h"

#include "drives/exfat_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kBlock = 524288;
// Where the fake card's dismount marks its file system clean.
constexpr std::uint64_t kCleanMarkOffset = 16384;
// A Complete erase writes up to this many adjacent blocks at once.
constexpr std::uint64_t kRun = 2 * kBlock;

struct WriteRecord {
    std::uint64_t offset;
    std::size_t bytes;
    bool operator==(const WriteRecord&) const = default;
};

// A card in a reader, and everything the job did to it and around it.
struct Card {
    std::optional<DiskGeometry> geometry;
    std::optional<std::uint64_t> length;
    bool writeProtected = false;
    std::set<int> failingOpens;  // 1-based numbers of the opens that fail
    int writesThatTake = -1;     // writes before the card stops taking any; -1: all
    CardTaking claim = CardTaking::claimed;
    // Writes taken: the card swapped for one of this length (nullopt: pulled).
    std::map<std::size_t, std::optional<std::uint64_t>> lengthAfterWrites;
    // Writes taken: the card swapped for another of its length.
    std::set<std::size_t> sameSizeSwapAfterWrites;
    // What the card holds: bytes that follow from this and their offset,
    // except where the card took a write since it went in.
    int identity = 1;
    // The one byte that tells this card from its twin.
    std::optional<std::uint64_t> flippedOffset;
    // The claim's dismount writes the file system's clean state (a byte of
    // the FAT that no Optimized erase reaches).
    bool claimMarksClean = false;
    bool markedClean = false;
    std::size_t writesOfEarlierCards = 0;

    int opens = 0;
    int openHandles = 0;
    std::vector<char> openedLetters;
    std::vector<WriteRecord> writes;
    std::vector<std::string> events;
};

class FakeVolume : public RawVolume {
public:
    explicit FakeVolume(Card& card) : card_(card) { ++card_.openHandles; }
    ~FakeVolume() override
    {
        --card_.openHandles;
        card_.events.push_back("close");
    }
    std::optional<DiskGeometry> ReadGeometry() override { return card_.geometry; }
    std::optional<std::uint64_t> LengthBytes() override { return card_.length; }
    std::uint32_t Write(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        card_.writes.push_back({offset, bytes.size()});
        card_.events.push_back("write");
        // The job reuses one zero buffer: its start and its end tell.
        const auto head = bytes.first(std::min<std::size_t>(bytes.size(), 8192));
        EXPECT_TRUE(std::all_of(head.begin(), head.end(), [](std::uint8_t b) { return b == 0; }));
        EXPECT_EQ(bytes.back(), 0);
        const bool beyondEnd = card_.length && offset + bytes.size() > *card_.length;
        const bool pulled = card_.writesThatTake >= 0 && card_.writes.size() > std::size_t(card_.writesThatTake);
        const std::uint32_t taken =
            card_.writeProtected || beyondEnd || pulled ? 0 : static_cast<std::uint32_t>(bytes.size());
        const std::size_t writes = card_.writes.size();
        const auto swapped = card_.lengthAfterWrites.find(writes);
        if (swapped != card_.lengthAfterWrites.end() || card_.sameSizeSwapAfterWrites.contains(writes)) {
            card_.length = swapped != card_.lengthAfterWrites.end() ? swapped->second : card_.length;
            ++card_.identity;
            card_.writesOfEarlierCards = writes;
        }
        return taken;
    }
    std::uint32_t Read(std::uint64_t offset, std::span<std::uint8_t> bytes) override
    {
        if (!card_.length || offset + bytes.size() > *card_.length) {
            return 0;
        }
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>((offset + i) * 7 + card_.identity * 13 + 1);
        }
        for (const std::optional<std::uint64_t> flipped :
             {card_.markedClean ? std::optional(kCleanMarkOffset) : std::nullopt, card_.flippedOffset}) {
            if (flipped && offset <= *flipped && *flipped < offset + bytes.size()) {
                bytes[*flipped - offset] ^= 0xFF;
            }
        }
        const auto taken = card_.writesThatTake < 0 ? card_.writes.size()
                                                    : std::min<std::size_t>(card_.writes.size(), card_.writesThatTake);
        for (std::size_t w = card_.writesOfEarlierCards; w < taken && !card_.writeProtected; ++w) {
            const WriteRecord& write = card_.writes[w];
            const std::uint64_t begin = std::max(offset, write.offset);
            const std::uint64_t end = std::min(offset + bytes.size(), write.offset + write.bytes);
            if (begin < end) {
                std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(begin - offset),
                          bytes.begin() + static_cast<std::ptrdiff_t>(end - offset), 0);
            }
        }
        return static_cast<std::uint32_t>(bytes.size());
    }
    CardTaking ClaimCard() override
    {
        card_.events.push_back("claim");
        card_.markedClean = card_.claimMarksClean;
        return card_.claim;
    }

private:
    Card& card_;
};

class FakeOpener : public RawVolumeOpener {
public:
    explicit FakeOpener(Card& card) : card_(card) {}
    std::unique_ptr<RawVolume> OpenRawVolume(char driveLetter) override
    {
        card_.openedLetters.push_back(driveLetter);
        if (card_.failingOpens.contains(++card_.opens)) {
            return nullptr;
        }
        card_.events.push_back("open");
        return std::make_unique<FakeVolume>(card_);
    }

private:
    Card& card_;
};

class FakeDialog : public FormatJobDialog {
public:
    explicit FakeDialog(Card& card) : card_(card) {}
    void ShowMessage(JobMessage message) override
    {
        messages.push_back(message);
        card_.events.push_back("message");
    }
    void ShowText(std::string_view text) override
    {
        texts.emplace_back(text);
        card_.events.push_back("text");
    }
    bool ConfirmFormat(std::string_view warning) override
    {
        warnings.emplace_back(warning);
        card_.events.push_back("confirm");
        return answerYes;
    }
    void ShowProgressBar() override { ++barShown; }
    void SetBarRange(std::int64_t lower, std::int64_t upper) override { ranges.emplace_back(lower, upper); }
    void SetBarPosition(std::int64_t position) override { positions.push_back(position); }
    void PumpPendingMessages() override { ++pumps; }

    bool answerYes = true;
    std::vector<JobMessage> messages;
    std::vector<std::string> texts;
    std::vector<std::string> warnings;
    int barShown = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    std::vector<std::int64_t> positions;
    int pumps = 0;

private:
    Card& card_;
};

class FakeLibrary : public CardLibrary {
public:
    explicit FakeLibrary(Card& card) : card_(card) {}
    int Build(trellan::Builder builder, char driveLetter, char* label,
              const std::optional<trellan::ExfatOemSector>&) override
    {
        built.push_back(builder);
        letter = driveLetter;
        labelSeen = label;
        handlesOpenAtBuild = card_.openHandles;
        card_.events.push_back("build");
        return result;
    }

    int result = 1;
    std::vector<trellan::Builder> built;
    char letter = 0;
    std::string labelSeen;
    int handlesOpenAtBuild = -1;

private:
    Card& card_;
};

DiskGeometry Chs(std::int64_t cylinders, std::uint32_t tracks = 255, std::uint32_t sectors = 63,
                 std::uint32_t bytes = 512)
{
    return {.cylinders = cylinders,
            .mediaType = 11,
            .tracksPerCylinder = tracks,
            .sectorsPerTrack = sectors,
            .bytesPerSector = bytes};
}

// A geometry whose estimate is exactly the given number of 512-byte sectors.
DiskGeometry Sectors(std::uint32_t count)
{
    return Chs(0, 0, count, 512);
}

// Whole MiB as the estimate counts them.
DiskGeometry Mebibytes(std::uint32_t count)
{
    return Sectors(count * 2048);
}

FormatJobInputs Inputs(CardType type, EraseMode erase = EraseMode::none, const char* label = "BREVALD")
{
    FormatJobInputs inputs{.driveLetter = 'E', .label = {}, .cardType = type, .eraseMode = erase, .card = std::nullopt};
    std::strncpy(inputs.label.data(), label, inputs.label.size() - 1);
    return inputs;
}

// One job against the card, with the probe answering probeAnswer.
struct Job {
    // The card as long as the estimate, unless a test says otherwise.
    explicit Job(DiskGeometry geometry)
    {
        card.geometry = geometry;
        card.length = CapacityEstimateBytes(geometry);
    }

    // The job as the dialog starts it: the card sampled when the user is
    // asked, unless the inputs already say which card that was.
    int Run(FormatJobInputs inputs, int probeAnswer = EXFAT_SUPPORTED)
    {
        if (!inputs.card && card.geometry) {
            FakeVolume volume(card);
            inputs.card = SampleCard(volume, card.geometry->bytesPerSector);
        }
        return RunAsGiven(inputs, probeAnswer);
    }

    int RunAsGiven(const FormatJobInputs& inputs, int probeAnswer = EXFAT_SUPPORTED)
    {
        card.events.clear();
        FakeOpener opener(card);
        const int result = RunFormatJob(inputs, opener, dialog, library, [&] {
            ++probes;
            return probeAnswer;
        });
        EXPECT_EQ(card.openHandles, 0) << "a volume handle was left open";
        return result;
    }

    Card card;
    FakeDialog dialog{card};
    FakeLibrary library{card};
    int probes = 0;
};

TEST(FormatJob, BuilderByCardTypeAndSizeClassAtTheBoundaries)
{
    using enum trellan::Builder;
    const struct {
        CardType type;
        DiskGeometry geometry;
        trellan::Builder builder;
        int probes;
    } cases[] = {
        {CardType::sd, Chs(242), sd, 0},  // estimate 2,006,581,248 bytes: 1,913 MiB
        {CardType::sd, Mebibytes(2088), sd, 0},
        {CardType::sd, Mebibytes(2089), fat32, 0},
        {CardType::sd, Mebibytes(32896), fat32, 0},
        {CardType::sd, Mebibytes(32897), exfat, 1},
        {CardType::mmc, Mebibytes(2088), mmc, 0},
        {CardType::mmc, Mebibytes(2089), fat32, 0},
        {CardType::mmc, Mebibytes(32896), fat32, 0},
        {CardType::mmc, Mebibytes(32897), mmc, 1},  // probed, but never exFAT for MMC
        {CardType::cf, Mebibytes(16), cf, 0},
        {CardType::cf, Mebibytes(2089), cf, 0},
        {CardType::cf, Mebibytes(65536), cf, 1},
    };
    for (const auto& c : cases) {
        Job job(c.geometry);
        EXPECT_EQ(job.Run(Inputs(c.type)), FORMAT_DONE);
        EXPECT_EQ(job.library.built, std::vector{c.builder});
        EXPECT_EQ(job.probes, c.probes);
        EXPECT_TRUE(job.dialog.warnings.empty());
        EXPECT_EQ(job.library.letter, 'E');
        EXPECT_EQ(job.library.labelSeen, "BREVALD");
        // The library builds inside the job's hold on the card.
        EXPECT_EQ(job.library.handlesOpenAtBuild, 1);
    }
}

TEST(FormatJob, OnlySdCardsOfTheLargeClassAreWarned)
{
    for (int answer = EXFAT_NOT_APPLICABLE; answer <= EXFAT_NEED_SP2_AND_PATCH; ++answer) {
        const bool warned = answer >= EXFAT_NEED_SP1;
        for (const CardType type : {CardType::sd, CardType::mmc, CardType::cf}) {
            Job job(Mebibytes(65536));
            EXPECT_EQ(job.Run(Inputs(type), answer), FORMAT_DONE);
            EXPECT_EQ(job.dialog.warnings.size(), type == CardType::sd && warned ? 1u : 0u) << answer;
        }
        Job job(Mebibytes(65536));
        job.Run(Inputs(CardType::sd), answer);
        if (warned) {
            EXPECT_EQ(job.dialog.warnings.front(), *ExFatWarningText(answer));
        }
    }
}

TEST(FormatJob, DecliningTheWarningCancelsBeforeAnyWrite)
{
    for (int answer = EXFAT_NEED_SP1; answer <= EXFAT_NEED_SP2_AND_PATCH; ++answer) {
        Job job(Mebibytes(65536));
        job.dialog.answerYes = false;
        EXPECT_EQ(job.Run(Inputs(CardType::sd, EraseMode::complete), answer), FORMAT_CANCELLED);
        EXPECT_TRUE(job.card.writes.empty()) << answer;
        EXPECT_TRUE(job.library.built.empty());
        EXPECT_TRUE(job.dialog.messages.empty());
        EXPECT_EQ(job.dialog.barShown, 0);
        EXPECT_EQ(job.card.events, (std::vector<std::string>{"open", "confirm", "close"}));
    }
}

TEST(FormatJob, TrialWriteOfSectorZeroRunsInEveryEraseMode)
{
    for (const EraseMode mode : {EraseMode::none, EraseMode::optimized, EraseMode::complete}) {
        Job job(Mebibytes(4));
        EXPECT_EQ(job.Run(Inputs(CardType::sd, mode)), FORMAT_DONE);
        ASSERT_FALSE(job.card.writes.empty());
        EXPECT_EQ(job.card.writes.front(), (WriteRecord{0, 512}));
        // On the job's one handle, once the card is claimed.
        const std::vector<std::string> start = {"open", "claim", "write"};
        EXPECT_TRUE(std::equal(start.begin(), start.end(), job.card.events.begin()));
    }
}

TEST(FormatJob, WriteProtectedCardIsRefusedAndLeftAlone)
{
    // The trial write takes nothing.
    Job job(Mebibytes(4));
    job.card.writeProtected = true;
    EXPECT_EQ(job.Run(Inputs(CardType::sd, EraseMode::complete)), FORMAT_FAILED);
    EXPECT_EQ(job.dialog.messages, std::vector{JobMessage::writeProtected});
    EXPECT_EQ(job.card.writes.size(), 1u);
    EXPECT_TRUE(job.library.built.empty());
    EXPECT_EQ(job.dialog.barShown, 0);
}

TEST(FormatJob, FailuresReportAndCloseWhatWasOpened)
{
    const struct {
        const char* what;
        std::optional<DiskGeometry> geometry;
        std::set<int> failingOpens;
        bool hasLetter;
        CardType type;
        std::vector<JobMessage> messages;
        int opens;
        CardTaking claim = CardTaking::claimed;
        std::vector<std::string> texts = {};
    } cases[] = {
        {"no drive selected", Mebibytes(4), {}, false, CardType::sd, {JobMessage::fail}, 0},
        {"volume does not open", Mebibytes(4), {1}, true, CardType::sd, {JobMessage::fail}, 1},
        {"no geometry", std::nullopt, {}, true, CardType::sd, {JobMessage::fail}, 1},
        {"geometry of zeros", DiskGeometry{}, {}, true, CardType::sd, {JobMessage::fail}, 1},
        {"the reader answers nothing when claimed",
         Mebibytes(4),
         {},
         true,
         CardType::sd,
         {JobMessage::fail},
         1,
         CardTaking::noCard},
        {"only a partition of the card can be reached",
         Mebibytes(4),
         {},
         true,
         CardType::sd,
         {},
         1,
         CardTaking::notWholeCard,
         {std::string(kCardNotWholeText)}},
        {"another volume on the card is in use",
         Mebibytes(4),
         {},
         true,
         CardType::sd,
         {},
         1,
         CardTaking::inUse,
         {std::string(kCardInUseText)}},
        {"another program formats the card",
         Mebibytes(4),
         {},
         true,
         CardType::sd,
         {},
         1,
         CardTaking::otherFormat,
         {std::string(kCardFormattedElsewhereText)}},
        {"sectors of 4 KiB",
         Chs(8, 255, 63, 4096),
         {},
         true,
         CardType::sd,
         {},
         1,
         CardTaking::claimed,
         {std::string(kSectorSizeText)}},
        {"no card type", Mebibytes(4), {}, true, CardType::none, {}, 0},
    };
    for (const auto& c : cases) {
        Job job(Mebibytes(4));
        job.card.geometry = c.geometry;
        job.card.failingOpens = c.failingOpens;
        job.card.claim = c.claim;
        FormatJobInputs inputs = Inputs(c.type, EraseMode::complete);
        if (!c.hasLetter) {
            inputs.driveLetter.reset();
        }
        EXPECT_EQ(job.Run(inputs), FORMAT_FAILED) << c.what;
        EXPECT_EQ(job.dialog.messages, c.messages) << c.what;
        EXPECT_EQ(job.dialog.texts, c.texts) << c.what;
        EXPECT_EQ(job.card.opens, c.opens) << c.what;
        EXPECT_TRUE(job.card.writes.empty()) << c.what;
        EXPECT_TRUE(job.library.built.empty()) << c.what;
    }
}

TEST(FormatJob, LibraryFailureIsAFailedJobWithoutAMessage)
{
    Job job(Mebibytes(4));
    job.library.result = 0;
    EXPECT_EQ(job.Run(Inputs(CardType::mmc)), FORMAT_FAILED);
    EXPECT_TRUE(job.dialog.messages.empty());
    EXPECT_EQ(job.library.built, std::vector{trellan::Builder::mmc});
}

TEST(FormatJob, LabelPassesUnchangedAndAlwaysTerminated)
{
    Job job(Mebibytes(4));
    FormatJobInputs inputs = Inputs(CardType::sd, EraseMode::none, " my Card ");
    EXPECT_EQ(job.Run(inputs), FORMAT_DONE);
    EXPECT_EQ(job.library.labelSeen, " my Card ");

    Job full(Mebibytes(4));
    inputs.label.fill('A');
    full.Run(inputs);
    EXPECT_EQ(full.library.labelSeen, std::string(inputs.label.size() - 1, 'A'));
}

TEST(FormatJob, NoErasePassLeavesTheBarAloneAndStillBuilds)
{
    Job job(Mebibytes(64));
    EXPECT_EQ(job.Run(Inputs(CardType::sd, EraseMode::none)), FORMAT_DONE);
    EXPECT_EQ(job.card.writes.size(), 1u);  // the trial write only
    EXPECT_EQ(job.dialog.barShown, 0);
    EXPECT_TRUE(job.dialog.ranges.empty());
    EXPECT_TRUE(job.dialog.positions.empty());
    EXPECT_EQ(job.library.built.size(), 1u);
}

TEST(FormatJob, ErasePassWritesEveryBlockThenTheTailSectors)
{
    // Five whole blocks and three sectors: Optimized writes the start of
    // each block, Complete runs of two blocks and then the odd one.
    const std::uint64_t blocks = 5;
    for (const EraseMode mode : {EraseMode::optimized, EraseMode::complete}) {
        Job job(Sectors(blocks * 1024 + 3));
        EXPECT_EQ(job.Run(Inputs(CardType::sd, mode)), FORMAT_DONE);
        std::vector<WriteRecord> expected = {{0, 512}};
        std::vector<std::int64_t> positions;
        if (mode == EraseMode::optimized) {
            for (std::uint64_t i = 0; i < blocks; ++i) {
                expected.push_back({i * kBlock, 8192u});
                positions.push_back(static_cast<std::int64_t>(i));
            }
        } else {
            for (std::uint64_t i = 0; i < blocks; i += 2) {
                const std::uint64_t run = std::min<std::uint64_t>(2, blocks - i);
                expected.push_back({i * kBlock, run * kBlock});
                positions.push_back(static_cast<std::int64_t>(i + run - 1));
            }
        }
        for (std::uint64_t k = 0; k < 3; ++k) {
            expected.push_back({blocks * kBlock + k * 512, 512});
        }
        positions.push_back(static_cast<std::int64_t>(blocks));
        EXPECT_EQ(job.card.writes, expected);
        EXPECT_EQ(job.dialog.ranges, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 5}}));
        EXPECT_EQ(job.dialog.positions, positions);
        EXPECT_EQ(job.dialog.pumps, static_cast<int>(positions.size()));
        EXPECT_EQ(job.dialog.barShown, 1);
        // Claimed, every volume taken from its file system, before the first write.
        EXPECT_EQ(job.card.events[1], "claim");
    }
}

TEST(FormatJob, WholeBlockDeviceEndsWithAnEmptyLastStep)
{
    Job job(Sectors(4 * 1024));
    job.Run(Inputs(CardType::sd, EraseMode::complete));
    EXPECT_EQ(job.card.writes.size(), 1u + 2u);
    EXPECT_EQ(job.card.writes.back(), (WriteRecord{2 * kBlock, kRun}));
    EXPECT_EQ(job.dialog.positions, (std::vector<std::int64_t>{1, 3, 4}));
}

TEST(FormatJob, BlockOffsetsBeyondFourGibibytesDoNotWrap)
{
    Job job(Sectors(8194 * 1024));
    job.Run(Inputs(CardType::sd, EraseMode::optimized));
    ASSERT_EQ(job.card.writes.size(), 1u + 8194u);
    EXPECT_EQ(job.card.writes[1 + 8192].offset, 4294967296u);
    EXPECT_EQ(job.card.writes[1 + 8193].offset, 4295491584u);
}

TEST(FormatJob, EraseStopsAtTheDeviceEndNotAtTheEstimate)
{
    // An 8 GiB image seen through the derived geometry: 1,044 cylinders. The
    // estimate reaches 1,045 x 256 x 63 x 512 bytes, past the image's end.
    const std::uint64_t length = std::uint64_t{8} << 30;
    Job job(Chs(1044));
    job.card.length = length;
    EXPECT_EQ(job.Run(Inputs(CardType::sd, EraseMode::complete)), FORMAT_DONE);
    EXPECT_EQ(job.library.built, std::vector{trellan::Builder::fat32});
    EXPECT_EQ(job.card.writes.size(), 1u + length / kRun);
    EXPECT_EQ(job.card.writes.back().offset + job.card.writes.back().bytes, length);
    EXPECT_EQ(job.dialog.ranges.front().second, static_cast<std::int64_t>(length / kBlock));

    // A device that cannot tell its length cannot be shown to be the card
    // the user agreed to erase.
    Job unknown(Sectors(2 * 1024 + 1));
    unknown.card.length = std::nullopt;
    EXPECT_EQ(unknown.Run(Inputs(CardType::sd, EraseMode::complete)), FORMAT_FAILED);
    EXPECT_TRUE(unknown.card.writes.empty());
}

TEST(FormatJob, AFailedEraseWriteEndsTheJobBeforeTheBuilder)
{
    const struct {
        const char* what;
        std::uint64_t length;
        EraseMode erase;
        int writesThatTake;
    } cases[] = {
        {"the first block after the trial write", 8 * kBlock, EraseMode::complete, 1},
        {"a block in the middle", 8 * kBlock, EraseMode::optimized, 4},
        {"a tail sector", 8 * kBlock + 1024, EraseMode::complete, 5},
    };
    for (const auto& c : cases) {
        Job job(Sectors(static_cast<std::uint32_t>(c.length / 512)));
        job.card.length = c.length;
        job.card.writesThatTake = c.writesThatTake;
        EXPECT_EQ(job.Run(Inputs(CardType::sd, c.erase)), FORMAT_FAILED) << c.what;
        EXPECT_TRUE(job.library.built.empty()) << c.what;
        EXPECT_EQ(job.dialog.messages, std::vector{JobMessage::fail}) << c.what;
        // No write is tried after the first that failed.
        EXPECT_EQ(job.card.writes.size(), std::size_t(c.writesThatTake) + 1) << c.what;
    }
}

TEST(FormatJob, OnlyTheCardSampledWhenTheUserAgreedIsFormatted)
{
    const std::uint64_t four = std::uint64_t{4} << 30;
    const std::uint64_t one = std::uint64_t{1} << 30;
    enum class Asked { thisCard, anotherOfTheSameSize, itsTwin, anotherOfOneGibibyte, noCard };
    const struct {
        const char* what;
        Asked asked;
        EraseMode erase;
        std::map<std::size_t, std::optional<std::uint64_t>> lengthAfterWrites;
        std::set<std::size_t> sameSizeSwapAfterWrites;
        std::size_t writes;  // trial write included
        std::string_view text;
        bool claimMarksClean = false;
    } cases[] = {
        {"the same card throughout", Asked::thisCard, EraseMode::complete, {}, {}, 1 + four / kRun, {}},
        {"the same card, its file system marked clean as the claim dismounts it",
         Asked::thisCard,
         EraseMode::optimized,
         {},
         {},
         1 + four / kBlock,
         {},
         true},
        {"the same card, Optimized", Asked::thisCard, EraseMode::optimized, {}, {}, 1 + four / kBlock, {}},
        {"the same card, no erase", Asked::thisCard, EraseMode::none, {}, {}, 1, {}},
        {"another card of the same size after Yes",
         Asked::anotherOfTheSameSize,
         EraseMode::complete,
         {},
         {},
         0,
         kCardChangedText},
        {"its twin, alike but for the last byte of the first MiB, after Yes",
         Asked::itsTwin,
         EraseMode::complete,
         {},
         {},
         0,
         kCardChangedText},
        {"another card in the reader after Yes",
         Asked::anotherOfOneGibibyte,
         EraseMode::complete,
         {},
         {},
         0,
         kCardChangedText},
        {"no card answered when the user was asked", Asked::noCard, EraseMode::complete, {}, {}, 0, kCardChangedText},
        {"swapped during the erase",
         Asked::thisCard,
         EraseMode::complete,
         {{1 + four / kRun, one}},
         {},
         1 + four / kRun,
         kCardChangedDuringEraseText},
        {"swapped for one of the same size during a Complete erase",
         Asked::thisCard,
         EraseMode::complete,
         {},
         {1 + four / kRun},
         1 + four / kRun,
         kCardChangedDuringEraseText},
        {"swapped for one of the same size during an Optimized erase",
         Asked::thisCard,
         EraseMode::optimized,
         {},
         {1 + four / kBlock},
         1 + four / kBlock,
         kCardChangedDuringEraseText},
    };
    for (const auto& c : cases) {
        Job job(Chs(522));
        job.card.length = four;
        FormatJobInputs inputs = Inputs(CardType::sd, c.erase);
        if (c.asked != Asked::noCard) {
            Job asked(Chs(522));
            asked.card.length = c.asked == Asked::anotherOfOneGibibyte ? one : four;
            asked.card.identity = c.asked == Asked::anotherOfTheSameSize ? 9 : job.card.identity;
            asked.card.flippedOffset = c.asked == Asked::itsTwin ? std::optional(kSampledBytes - 1) : std::nullopt;
            FakeVolume volume(asked.card);
            inputs.card = SampleCard(volume, 512);
        }
        job.card.lengthAfterWrites = c.lengthAfterWrites;
        job.card.sameSizeSwapAfterWrites = c.sameSizeSwapAfterWrites;
        job.card.claimMarksClean = c.claimMarksClean;
        const bool built = c.text.empty();
        EXPECT_EQ(job.RunAsGiven(inputs), built ? FORMAT_DONE : FORMAT_FAILED) << c.what;
        EXPECT_EQ(job.card.writes.size(), c.writes) << c.what;
        EXPECT_EQ(job.library.built.size(), built ? 1u : 0u) << c.what;
        EXPECT_EQ(job.dialog.texts, built ? std::vector<std::string>{} : std::vector{std::string(c.text)}) << c.what;
    }
}

TEST(FormatJob, ACardPulledDuringTheEraseIsNotBuiltOn)
{
    const std::uint64_t four = std::uint64_t{4} << 30;
    Job job(Chs(522));
    job.card.length = four;
    job.card.lengthAfterWrites = {{1 + four / kRun, std::nullopt}};
    EXPECT_EQ(job.Run(Inputs(CardType::sd, EraseMode::complete)), FORMAT_FAILED);
    EXPECT_EQ(job.card.writes.size(), 1 + four / kRun);
    EXPECT_TRUE(job.library.built.empty());
    EXPECT_EQ(job.dialog.texts, std::vector{std::string(kCardChangedDuringEraseText)});
}

TEST(FormatJob, ACardNoLayoutFitsIsRefusedBeforeTheTrialWrite)
{
    const std::uint64_t twoTebibytes = std::uint64_t{2} << 40;
    const struct {
        const char* what;
        CardType type;
        DiskGeometry geometry;
        std::uint64_t length;
        std::optional<LayoutRefusal> refusal;
    } cases[] = {
        {"SD over 2 TiB (exFAT)", CardType::sd, Chs(267350), twoTebibytes + (1 << 20), LayoutRefusal::tooLarge},
        {"CF over 2 TiB", CardType::cf, Chs(267350), twoTebibytes + (1 << 20), LayoutRefusal::tooLarge},
        {"a card of 511 bytes", CardType::sd, Chs(0), 511, LayoutRefusal::tooSmall},
        {"a card of one sector", CardType::cf, Chs(0), 512, LayoutRefusal::tooSmall},
        {"SD of 2 TiB less 1 MiB", CardType::sd, Chs(267349), twoTebibytes - (1 << 20), std::nullopt},
    };
    for (const auto& c : cases) {
        Job job(c.geometry);
        job.card.length = c.length;
        const int result = job.Run(Inputs(c.type));
        if (!c.refusal) {
            EXPECT_EQ(result, FORMAT_DONE) << c.what;
            EXPECT_TRUE(job.dialog.texts.empty()) << c.what;
            continue;
        }
        EXPECT_EQ(result, FORMAT_FAILED) << c.what;
        EXPECT_TRUE(job.card.writes.empty()) << c.what;
        EXPECT_TRUE(job.library.built.empty()) << c.what;
        EXPECT_EQ(job.probes, 0) << c.what << ": no exFAT question for a card that cannot be formatted";
        EXPECT_EQ(job.dialog.texts, std::vector{std::string(LayoutRefusalText(*c.refusal))}) << c.what;
    }
}

}  // namespace
