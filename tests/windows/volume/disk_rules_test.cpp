// The rules of a real Windows PC that Wine does not show, each against the
// model (disk_model.h): the layout Windows keeps until it is told to read
// it again, cards without a partition table, programs that hold the card,
// the other disks of the machine, idle sleep, unbuffered 512e cards, a card
// pulled mid-job and the system's own writes to a mounted card.
#include "disk_model.h"
#include "session_fixtures.h"

#include "cli/win32_card_access.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace session_fixtures;

// A card partitioned by a PC: its one partition 1 MiB in.
DiskModel::Card CardPartitionedAt(std::uint64_t startBytes)
{
    return DiskModel::Card{.lengthBytes = kCardBytes,
                           .partitions = {{.letter = 'E',
                                           .startBytes = startBytes,
                                           .lengthBytes = kCardBytes - startBytes,
                                           .fileSystemBytes = kCardBytes - startBytes}}};
}

// Formatted as a whole disk (many CF cards): the volume starts at offset 0,
// its file system ends a MiB before the card does.
DiskModel::Card WholeDiskCard()
{
    return DiskModel::Card{
        .lengthBytes = kCardBytes,
        .partitions = {
            {.letter = 'E', .startBytes = 0, .lengthBytes = kCardBytes, .fileSystemBytes = kCardBytes - kMebibyte}}};
}

std::uint64_t NewPartitionStartBytes(const std::vector<std::uint8_t>& card)
{
    return std::uint64_t{trellan::load_le32(card, first_entry + entry::start_lba)} * 512;
}

// A FAT boot sector: a jump, the boot signature, "FAT" in the type field.
bool IsFatBootSector(const std::vector<std::uint8_t>& sector)
{
    if (sector.size() != 512) {
        return false;
    }
    const std::string fat16(sector.begin() + 54, sector.begin() + 57);
    const std::string fat32(sector.begin() + 82, sector.begin() + 85);
    return (sector[0] == 0xEB || sector[0] == 0xE9) && sector[510] == 0x55 && sector[511] == 0xAA &&
           (fat16 == "FAT" || fat32 == "FAT");
}

// After the build Windows is told to read the card's layout again, and
// where it keeps another, the layout the builder wrote is set: the letter's
// volume comes back at the new partition and reads its new boot sector, and
// sector 0 keeps the builder's MBR.
TEST(WindowsDiskRules, WindowsShowsTheNewLayoutWhenTheJobEnds)
{
    const struct {
        const char* name;
        DiskModel::Card card;
        bool rereadIgnored;
        bool byTheLibraryAlone;
    } rows[] = {
        {"a partition 1 MiB in", CardPartitionedAt(kMebibyte), false, false},
        {"a whole-disk card", WholeDiskCard(), false, false},
        {"a reader that answers the re-read without re-reading", CardPartitionedAt(kMebibyte), true, false},
        {"Trellan.dll called on its own", CardPartitionedAt(kMebibyte), false, true},
    };
    for (const auto& row : rows) {
        DiskModel model;
        const std::size_t card = model.AddCard(row.card);
        model.SetRereadIgnored(card, row.rereadIgnored);
        AnsweringDialog dialog;
        char label[16] = "";
        if (row.byTheLibraryAlone) {
            ASSERT_EQ(Trellan_BuildSd('E', label), 1) << row.name;
        } else {
            ASSERT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_DONE) << row.name;
        }
        EXPECT_TRUE(dialog.texts.empty()) << row.name;
        const std::vector<std::uint8_t>& bytes = model.Bytes(card);
        ASSERT_TRUE(HasMbrAtSectorZero(bytes)) << row.name;
        EXPECT_EQ(model.VolumeStart('E'), NewPartitionStartBytes(bytes)) << row.name;
        EXPECT_TRUE(IsFatBootSector(model.VolumeBootSector('E'))) << row.name;
        // Windows writes CHS fields of its own when it sets a layout.
        EXPECT_FALSE(bytes[first_entry + 1] == 0xFE && bytes[first_entry + 2] == 0xFF) << row.name;
    }
}

// Where Windows still shows another layout, the job says so: the card is
// formatted, and must be inserted again before it is used.
TEST(WindowsDiskRules, AnOldLayoutStillShownIsSaidInPlainWords)
{
    DiskModel model;
    const std::size_t card = model.AddCard(CardPartitionedAt(kMebibyte));
    model.SetLayoutRefused(card, true);
    AnsweringDialog dialog;
    EXPECT_EQ(RunJob('E', EraseMode::none, dialog), FORMAT_DONE);
    EXPECT_EQ(dialog.texts, std::vector{std::string(kOldLayoutShownText)});
}

TEST(WindowsDiskRules, AWholeDiskCardIsWrittenOnlyThroughTheDisk)
{
    DiskModel model;
    const std::size_t card = model.AddCard(WholeDiskCard());
    AnsweringDialog dialog;
    ASSERT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_DONE);
    EXPECT_EQ(model.WritesThroughVolumes(), 0u);
    // Past the old file system's end too.
    EXPECT_EQ(SectorsKeepingOldData(model, card, 512), std::vector<std::uint64_t>{});
}

// Explorer, an indexer or an antivirus with the card open: one that lets go
// when the lock is attempted is waited out, one that never does loses its
// handle to a dismount; the card is formatted either way.
TEST(WindowsDiskRules, ProgramsHoldingTheCardAreWaitedOutOrDismounted)
{
    const struct {
        const char* name;
        char letter;
        DiskModel::Holder holder;
    } rows[] = {
        {"Explorer on E:", 'E', DiskModel::Holder::letsGoWhenLocked},
        {"a stubborn program on E:", 'E', DiskModel::Holder::stubborn},
        {"a stubborn program on F:", 'F', DiskModel::Holder::stubborn},
    };
    for (const auto& row : rows) {
        DiskModel model;
        const std::size_t card = model.AddCard(PartitionedCard());
        AnsweringDialog dialog;
        ASSERT_EQ(RunJob('E', EraseMode::complete, dialog, nullptr, [&] { model.HoldOpen(row.letter, row.holder); }),
                  FORMAT_DONE)
            << row.name;
        EXPECT_TRUE(dialog.texts.empty()) << row.name;
        EXPECT_EQ(SectorsKeepingOldData(model, card, 512), std::vector<std::uint64_t>{}) << row.name;
        EXPECT_TRUE(IsFatBootSector(model.VolumeBootSector('E'))) << row.name;
    }
}

// A card pulled once the job holds it ends "Fail" with the reason: the card
// was removed, at the sector the write failed at; never write-protected.
TEST(WindowsDiskRules, ACardPulledAfterTheClaimSaysItWasRemoved)
{
    const struct {
        const char* name;
        bool duringErase;
        std::string text;
    } rows[] = {
        {"before the trial write", false, WriteFailureText(WriteFailure::cardRemoved, 0)},
        {"during the erase", true, WriteFailureText(WriteFailure::cardRemoved, 2048)},
    };
    for (const auto& row : rows) {
        DiskModel model;
        const std::size_t card = model.AddCard(PartitionedCard());
        AnsweringDialog dialog;
        const auto pull = [&] { model.SetCardPresent(card, false); };
        (row.duringErase ? dialog.duringErase : dialog.beforeTrialWrite) = pull;
        EXPECT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_FAILED) << row.name;
        EXPECT_TRUE(dialog.messages.empty()) << row.name;
        EXPECT_EQ(dialog.texts, std::vector{row.text}) << row.name;
    }
}

// Finding the card's volumes opens the machine's other volumes for queries
// only: opening one for data spins up a sleeping disk and mounts a hidden
// partition.
TEST(WindowsDiskRules, FindingTheCardOpensNoOtherDisksVolumeForData)
{
    DiskModel model;
    DiskModel::Card system = PartitionedCard(512, 'D');
    system.diskNumber = 0;
    system.partitions[0].letter = 'C';
    const std::size_t other = model.AddCard(system);
    model.AddCard(PartitionedCard());
    AnsweringDialog dialog;
    ASSERT_EQ(RunJob('E', EraseMode::none, dialog), FORMAT_DONE);
    EXPECT_EQ(model.DataOpensOf(other), 0u);
}

// An erase of hours is not ended by idle sleep: the job keeps the system
// awake while it holds the card, and lets it sleep again after.
TEST(WindowsDiskRules, TheJobKeepsTheSystemAwakeUntilItEnds)
{
    DiskModel model;
    model.AddCard(PartitionedCard());
    AnsweringDialog dialog;
    std::vector<EXECUTION_STATE> duringErase;
    dialog.duringErase = [&] { duringErase.push_back(model.ExecutionState()); };
    ASSERT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_DONE);
    ASSERT_FALSE(duringErase.empty());
    EXPECT_EQ(duringErase.front(), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    EXPECT_EQ(model.ExecutionState(), ES_CONTINUOUS);
}

// veltrane-format.exe holds the card unbuffered for its checks; the job and
// the library join that hold with buffers of their own, which a 512e card
// takes only at addresses aligned to its 4 KiB physical sectors.
TEST(WindowsDiskRules, AnUnbufferedHoldOnA512eCardFormats)
{
    DiskModel model;
    DiskModel::Card advanced = PartitionedCard();
    advanced.physicalSectorBytes = 4096;
    const std::size_t card = model.AddCard(advanced);
    CardRefusal refusal = CardRefusal::otherFormat;
    const std::unique_ptr<Win32CardAccess> hold = Win32CardAccess::Open('E', refusal);
    ASSERT_TRUE(hold);
    AnsweringDialog dialog;
    EXPECT_EQ(RunJob('E', EraseMode::complete, dialog), FORMAT_DONE);
    EXPECT_TRUE(dialog.texts.empty());
    EXPECT_EQ(SectorsKeepingOldData(model, card, 512), std::vector<std::uint64_t>{});
}

// Windows writes to a mounted card by itself after insertion; where the
// reader counts media changes, that count tells a swapped card, not bytes
// the system may have written while the user was asked.
TEST(WindowsDiskRules, TheSystemsOwnWritesAreNotAnotherCard)
{
    const struct {
        const char* name;
        DiskModel::Card card;
        bool swapped;
        int result;
    } rows[] = {
        {"a whole-disk card", WholeDiskCard(), false, FORMAT_DONE},
        {"a partition 64 KiB in", CardPartitionedAt(64 * 1024), false, FORMAT_DONE},
        {"a card taken out and put back", WholeDiskCard(), true, FORMAT_FAILED},
    };
    for (const auto& row : rows) {
        DiskModel model;
        const std::size_t card = model.AddCard(row.card);
        AnsweringDialog dialog;
        const int result = RunJob('E', EraseMode::none, dialog, nullptr, [&] {
            if (row.swapped) {
                model.SetCardPresent(card, false);
                model.SetCardPresent(card, true);
            }
            model.SystemWritesToMountedVolumes(card);
        });
        EXPECT_EQ(result, row.result) << row.name;
        EXPECT_EQ(dialog.texts.empty(), row.result == FORMAT_DONE) << row.name;
    }
}

}  // namespace
