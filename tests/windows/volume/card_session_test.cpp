// The format job and Trellan.dll's builders against a model of Windows'
// disk rules (disk_model.h): a card in a reader is an MBR disk whose first
// partition is the volume "\\.\E:", with a mounted file system on each
// partition.
#include "disk_model.h"
#include "session_fixtures.h"

#include "cli/card_health.h"
#include "cli/card_identity_win32.h"
#include "cli/read_back_library_win32.h"
#include "cli/win32_card_access.h"
#include "platform/card_session.h"
#include "trellan/trellan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace session_fixtures;

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
        {"the second partition is held exclusively", 512,
         [](DiskModel& model, std::size_t) { model.HoldOpen('F', DiskModel::Holder::stubborn, 0); }, kCardInUseText},
        {"the second partition, without a letter, is held exclusively", 512,
         [](DiskModel& model, std::size_t card) {
             const std::string name = DiskModel::VolumeNameOf(card, 1);
             model.Open(name.substr(0, name.size() - 1), GENERIC_READ, 0);
         },
         kCardInUseText, '\0'},
        {"the second partition is locked by another program", 512,
         [](DiskModel& model, std::size_t) {
             DWORD returned = 0;
             ASSERT_TRUE(model.Control(model.HoldOpen('F'), FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned));
         },
         kCardInUseText},
        {"sectors of 4 KiB", 4096, [](DiskModel&, std::size_t) {}, kSectorSizeText},
        {"the volume's lock answers \"not supported\" on a disk Windows describes", 512,
         [](DiskModel& model, std::size_t card) { model.SetLockAnswer(card, ERROR_NOT_SUPPORTED); }, kCardInUseText},
        {"the last MiB cannot be read", 512,
         [](DiskModel& model, std::size_t card) { model.SetUnreadableFrom(card, kCardBytes - kMebibyte); },
         kCardUnreadableText},
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
        {"the second partition is held exclusively",
         [](DiskModel& model, std::size_t) { model.HoldOpen('F', DiskModel::Holder::stubborn, 0); }},
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

// A card pulled from under the capacity check is named as such, not taken
// for a card that holds less than it reports.
TEST(CardSession, ACapacityCheckOnAPulledCardSaysItWasRemoved)
{
    DiskModel model;
    const std::size_t card = model.AddCard(PartitionedCard());
    CardRefusal refusal = CardRefusal::otherFormat;
    const std::unique_ptr<Win32CardAccess> hold = Win32CardAccess::Open('E', refusal);
    ASSERT_TRUE(hold);
    model.SetCardPresent(card, false);
    std::FILE* progress = std::tmpfile();
    CheckCapacity(*hold, PlanProbes(kCardBytes, false), 7, progress);
    EXPECT_EQ(hold->DeviceFault().rfind("the card was removed", 0), 0u) << hold->DeviceFault();
    std::fclose(progress);
}

// The report names the reader a card sits in as the storage stack describes
// it, padding dropped; the probe, which asks for the descriptor alone, still
// gets the reader's bus.
TEST(CardSession, TheCardsReaderIsNamedAsTheStorageStackDescribesIt)
{
    DiskModel model;
    model.SetUsbReader(model.AddCard(PartitionedCard()), "Generic ", "  Mass-Storage");
    const std::optional<CardIdentity> identity = ReadCardIdentity('E');
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->bus, "USB");
    EXPECT_EQ(identity->readerVendor, "Generic");
    EXPECT_EQ(identity->readerModel, "Mass-Storage");
    unsigned char id = 0;
    ASSERT_NE(Trellan_ProbeDevice('E', &id), 0);
    EXPECT_EQ(id & 0x0F, 0x3);
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
