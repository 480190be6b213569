// The format job and Trellan.dll's builders against a model of Windows'
// disk rules (disk_model.h): a card in a reader is an MBR disk whose first
// partition is the volume "\\.\E:", with a mounted file system on each
// partition.
#include "disk_model.h"

#include "cli/card_health.h"
#include "cli/read_back_library_win32.h"
#include "cli/win32_card_access.h"
#include "drives/raw_volume_win32.h"
#include "format/format_job.h"
#include "platform/card_session.h"
#include "trellan/byte_order.h"
#include "trellan/mbr.h"
#include "trellan/trellan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t kMebibyte = 1024 * 1024;
constexpr std::uint64_t kCardBytes = 16 * kMebibyte;
using trellan::mbr_offset::first_entry;
namespace entry = trellan::partition_entry_offset;

// 16 MiB: the first partition (E:) 4 MiB in, as on most SD cards, its file
// system 64 KiB short of its end; a second partition (F:, or mounted without
// a letter) after it, and slack at the end.
DiskModel::Card PartitionedCard(DWORD sectorBytes = 512, char secondLetter = 'F')
{
    return DiskModel::Card{
        .lengthBytes = kCardBytes,
        .sectorBytes = sectorBytes,
        .diskNumber = 2,
        .partitions = {{.letter = 'E',
                        .startBytes = 4 * kMebibyte,
                        .lengthBytes = 8 * kMebibyte,
                        .fileSystemBytes = 8 * kMebibyte - 64 * 1024},
                       {.letter = secondLetter,
                        .startBytes = 12 * kMebibyte,
                        .lengthBytes = 3 * kMebibyte,
                        .fileSystemBytes = 3 * kMebibyte}},
        .wine = false,
    };
}

DiskModel::Card WineCard(char letter)
{
    return DiskModel::Card{
        .lengthBytes = kCardBytes,
        .sectorBytes = 512,
        .diskNumber = 1,
        .partitions = {{.letter = letter, .startBytes = 0, .lengthBytes = kCardBytes, .fileSystemBytes = kCardBytes}},
        .wine = true};
}

// Another format holding a card, on a thread of its own as another program
// would be: the claim is taken, so the named mutex is owned elsewhere.
class HeldElsewhere {
public:
    explicit HeldElsewhere(char letter)
        : m_thread([this, letter] {
              CardSession session;
              m_claimed.set_value(session.Open(letter) && session.Claim() == CardRefusal::none);
              m_release.get_future().wait();
          })
    {
        held = m_claimed.get_future().get();
    }
    ~HeldElsewhere()
    {
        m_release.set_value();
        m_thread.join();
    }
    bool held = false;

private:
    std::promise<bool> m_claimed;
    std::promise<void> m_release;
    std::thread m_thread;
};

bool HasMbrAtSectorZero(const std::vector<std::uint8_t>& card)
{
    return trellan::load_le16(card, trellan::mbr_offset::signature) == trellan::boot_signature &&
           card[first_entry + entry::type] != 0;
}

std::vector<std::uint64_t> SectorsKeepingOldData(const DiskModel& model, std::size_t card, DWORD sectorBytes)
{
    std::vector<std::uint64_t> kept;
    const std::vector<std::uint8_t>& bytes = model.Bytes(card);
    for (std::uint64_t sector = 0; sector < bytes.size() / sectorBytes; ++sector) {
        const std::vector<std::uint8_t> old = model.OldSector(card, sector);
        if (std::equal(old.begin(), old.end(), bytes.begin() + static_cast<std::ptrdiff_t>(sector * sectorBytes))) {
            kept.push_back(sector);
        }
    }
    return kept;
}

class AnsweringDialog : public FormatJobDialog {
public:
    void ShowMessage(JobMessage message) override { messages.push_back(message); }
    void ShowText(std::string_view text) override { texts.emplace_back(text); }
    bool ConfirmFormat(std::string_view) override { return true; }
    void ShowProgressBar() override {}
    void SetBarRange(std::int64_t, std::int64_t) override {}
    void SetBarPosition(std::int64_t) override {}
    void PumpPendingMessages() override {}

    std::vector<JobMessage> messages;
    std::vector<std::string> texts;
};

// The program's library, in this process: Trellan.dll's own code.
class InProcessLibrary : public CardLibrary {
public:
    int Build(trellan::Builder builder, char driveLetter, char* label,
              const std::optional<trellan::ExfatOemSector>&) override
    {
        return builder == trellan::Builder::sd ? Trellan_BuildSd(driveLetter, label) : 0;
    }
};

// The job as the dialog runs it: the card sampled when the user is asked.
int RunJob(char letter, EraseMode erase, AnsweringDialog& dialog, CardLibrary* builders = nullptr)
{
    Win32RawVolumeOpener volumes;
    FormatJobInputs inputs{
        .driveLetter = letter, .label = {}, .cardType = CardType::sd, .eraseMode = erase, .card = std::nullopt};
    if (const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(letter)) {
        const std::optional<DiskGeometry> geometry = volume->ReadGeometry();
        inputs.card = geometry ? SampleCard(*volume, geometry->bytesPerSector) : std::nullopt;
    }
    InProcessLibrary library;
    return RunFormatJob(inputs, volumes, dialog, builders != nullptr ? *builders : library, [] { return 1; });
}

TEST(CardSession, ACompleteFormatLeavesNoOldDataAnywhereOnThePartitionedCard)
{
    // The second partition's volume is locked with the first, with a letter
    // or without: writes into a mounted, unlocked one would be refused.
    for (const char secondLetter : {'F', '\0'}) {
        DiskModel model;
        const std::size_t card = model.AddCard(PartitionedCard(512, secondLetter));
        AnsweringDialog dialog;
        ASSERT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_DONE) << int(secondLetter);
        EXPECT_TRUE(dialog.messages.empty());
        EXPECT_TRUE(dialog.texts.empty());
        // The MBR, the gap before the first partition, the second partition and
        // the slack after it: every sector is zero or a new structure.
        EXPECT_EQ(SectorsKeepingOldData(model, card, 512), std::vector<std::uint64_t>{});
        EXPECT_TRUE(HasMbrAtSectorZero(model.Bytes(card)));
    }
}

// Each row: a card the job must refuse with a reason, before any write.
TEST(CardSession, TheJobRefusesBeforeAnyWrite)
{
    const struct {
        const char* name;
        DWORD sectorBytes;
        std::function<void(DiskModel&, std::size_t)> arrange;
        std::string_view text;
        char secondLetter = 'F';
    } rows[] = {
        {"the volume is one partition and the disk cannot be opened", 512,
         [](DiskModel& model, std::size_t card) { model.SetDiskOpenRefused(card, true); }, kCardNotWholeText},
        {"the second partition is in use", 512, [](DiskModel& model, std::size_t) { model.HoldOpen('F'); },
         kCardInUseText},
        {"the second partition, without a letter, is in use", 512,
         [](DiskModel& model, std::size_t card) {
             const std::string name = DiskModel::VolumeNameOf(card, 1);
             model.Open(name.substr(0, name.size() - 1), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
         },
         kCardInUseText, '\0'},
        {"the second partition is locked by another program", 512,
         [](DiskModel& model, std::size_t) {
             DWORD returned = 0;
             ASSERT_TRUE(model.Control(model.HoldOpen('F'), FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned));
         },
         kCardInUseText},
        {"sectors of 4 KiB", 4096, [](DiskModel&, std::size_t) {}, kSectorSizeText},
    };
    for (const auto& row : rows) {
        DiskModel model;
        const std::size_t card = model.AddCard(PartitionedCard(row.sectorBytes, row.secondLetter));
        row.arrange(model, card);
        AnsweringDialog dialog;
        EXPECT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_FAILED) << row.name;
        EXPECT_EQ(dialog.texts, std::vector{std::string(row.text)}) << row.name;
        EXPECT_EQ(model.WritesLanded(), 0u) << row.name;
    }
}

// The reader's own answers: error 19 from the trial write, error 21 from
// every request that needs the medium.
TEST(CardSession, AWriteProtectedCardOrAnEmptyReaderIsRefused)
{
    const struct {
        const char* name;
        std::function<void(DiskModel&, std::size_t)> arrange;
        JobMessage message;
    } rows[] = {
        {"write-protected", [](DiskModel& model, std::size_t card) { model.SetWriteProtected(card, true); },
         JobMessage::writeProtected},
        {"no card", [](DiskModel& model, std::size_t card) { model.SetCardPresent(card, false); }, JobMessage::fail},
    };
    for (const auto& row : rows) {
        DiskModel model;
        const std::size_t card = model.AddCard(PartitionedCard());
        row.arrange(model, card);
        AnsweringDialog dialog;
        EXPECT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_FAILED) << row.name;
        EXPECT_EQ(dialog.messages, std::vector{row.message}) << row.name;
        EXPECT_EQ(model.WritesLanded(), 0u) << row.name;
    }
}

// Two windows, or the program and another caller of the library, never
// format one card at once: the second writes nothing.
TEST(CardSession, ACardAnotherFormatHoldsIsRefused)
{
    DiskModel model;
    model.AddCard(PartitionedCard());
    const HeldElsewhere other('E');
    ASSERT_TRUE(other.held);
    for (const char letter : {'E', 'F'}) {
        AnsweringDialog dialog;
        EXPECT_EQ(RunJob(letter, EraseMode::complete, dialog), FORMAT_FAILED) << letter;
        EXPECT_EQ(dialog.texts, std::vector{std::string(kCardFormattedElsewhereText)}) << letter;
        char label[16] = "";
        EXPECT_EQ(Trellan_BuildSd(letter, label), 0) << letter;
    }
    EXPECT_EQ(model.WritesLanded(), 0u);
}

TEST(CardSession, TheLibraryOnItsOwnWritesTheMbrAtTheCardsFirstSector)
{
    DiskModel model;
    const std::size_t card = model.AddCard(PartitionedCard());
    char label[16] = "CAMERA";
    ASSERT_EQ(Trellan_BuildSd('E', label), 1);
    EXPECT_TRUE(HasMbrAtSectorZero(model.Bytes(card)));
    // The partition's old boot sector, which a layout inside the partition
    // would have overwritten with an MBR, is not where the new MBR went.
    EXPECT_NE(model.Bytes(card)[4 * kMebibyte + first_entry + trellan::mbr_partition_entry_bytes + entry::type], 0xAA);
}

// Each row: a card the library must refuse before it writes anything.
TEST(CardSession, TheLibraryRefusesBeforeAnyWrite)
{
    const struct {
        const char* name;
        std::function<void(DiskModel&, std::size_t)> arrange;
    } rows[] = {
        {"the volume is one partition and the disk cannot be opened",
         [](DiskModel& model, std::size_t card) { model.SetDiskOpenRefused(card, true); }},
        {"the second partition is in use", [](DiskModel& model, std::size_t) { model.HoldOpen('F'); }},
    };
    for (const auto& row : rows) {
        DiskModel model;
        const std::size_t card = model.AddCard(PartitionedCard());
        row.arrange(model, card);
        char label[16] = "";
        EXPECT_EQ(Trellan_BuildSd('E', label), 0) << row.name;
        EXPECT_EQ(model.WritesLanded(), 0u) << row.name;
    }
}

// Under Wine every image drive reports one device number: the claim is
// the volume's, so a format of one card never blocks another's.
TEST(CardSession, UnderWineTheClaimIsPerVolume)
{
    DiskModel model;
    const std::size_t g = model.AddCard(WineCard('G'));
    const std::size_t h = model.AddCard(WineCard('H'));
    const HeldElsewhere other('G');
    ASSERT_TRUE(other.held);
    char label[16] = "";
    EXPECT_EQ(Trellan_BuildSd('G', label), 0);
    AnsweringDialog dialog;
    EXPECT_EQ(RunJob('H', EraseMode::complete, dialog), FORMAT_DONE);
    EXPECT_FALSE(HasMbrAtSectorZero(model.Bytes(g)));
    EXPECT_TRUE(HasMbrAtSectorZero(model.Bytes(h)));
    EXPECT_EQ(SectorsKeepingOldData(model, h, 512), std::vector<std::uint64_t>{});
}

// veltrane-format's health checks: the capacity check claims the whole card
// (not the partition behind E:) and holds it through the format, which
// joins the hold on the same thread, as do the library and --verify's
// read-back; every read goes past the system's cache.
TEST(CardSession, TheHealthChecksHoldTheWholeCardThroughTheFormatAndReadPastTheCache)
{
    DiskModel model;
    const std::size_t card = model.AddCard(PartitionedCard());
    CardRefusal refusal = CardRefusal::otherFormat;
    const std::unique_ptr<Win32CardAccess> hold = Win32CardAccess::Open('E', refusal);
    ASSERT_TRUE(hold);
    EXPECT_EQ(hold->LengthBytes(), kCardBytes);
    std::FILE* progress = std::tmpfile();
    EXPECT_TRUE(CheckCapacity(*hold, PlanProbes(kCardBytes, true), 7, progress).Passed());
    {
        const HeldElsewhere other('E');
        EXPECT_FALSE(other.held);
    }
    InProcessLibrary builders;
    ReadBackLibrary library(builders, ReadBackLibrary::ReadBack::beforeBuild);
    AnsweringDialog dialog;
    EXPECT_EQ(RunJob('E', EraseMode::complete, dialog, &library), FORMAT_DONE) << library.FailureText();
    EXPECT_TRUE(dialog.texts.empty());
    EXPECT_TRUE(HasMbrAtSectorZero(model.Bytes(card)));
    EXPECT_EQ(model.CachedReads(), 0u);
    std::fclose(progress);
}

// A card that holds less than it reports, formatted with --force: every
// session that joins the hold (the job's, the library's) sees the real
// capacity, and nothing lands past it. The flash parameters the job's
// joined session keeps reach the library's, which joins after it.
TEST(CardSession, ASessionJoiningALimitedHoldFormatsOnlyTheRealCapacity)
{
    constexpr std::uint64_t kRealBytes = 10 * kMebibyte + 3 * 512;
    DiskModel model;
    const std::size_t card = model.AddCard(PartitionedCard());
    CardSession hold;
    ASSERT_TRUE(hold.Open('E', CardCache::bypassed));
    ASSERT_EQ(hold.Claim(), CardRefusal::none);
    hold.LimitLength(kRealBytes);
    {
        CardSession joined;
        ASSERT_TRUE(joined.Open('E'));
        EXPECT_EQ(joined.Length(), kRealBytes);
        const std::vector<std::uint8_t> zeros(1024, 0);
        EXPECT_EQ(joined.Write(kRealBytes - 512, zeros.data(), 1024), 0u);
        OemParameters flash{};
        flash[0] = 0x46;
        joined.KeepOemParameters(flash);
        CardSession library;
        ASSERT_TRUE(library.Open('E'));
        EXPECT_EQ(library.KeptOemParameters(), flash);
    }
    AnsweringDialog dialog;
    ASSERT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_DONE);
    std::vector<std::uint64_t> pastTheEnd;
    for (std::uint64_t sector = kRealBytes / 512; sector < kCardBytes / 512; ++sector) {
        pastTheEnd.push_back(sector);
    }
    EXPECT_EQ(SectorsKeepingOldData(model, card, 512), pastTheEnd);
    const std::vector<std::uint8_t>& bytes = model.Bytes(card);
    ASSERT_TRUE(HasMbrAtSectorZero(bytes));
    EXPECT_LE(std::uint64_t{trellan::load_le32(bytes, first_entry + entry::start_lba)} +
                  trellan::load_le32(bytes, first_entry + entry::length),
              kRealBytes / 512);
}

}  // namespace
