// The format job and Trellan.dll's builders against a model of Windows'
// disk rules (disk_model.h): a card in a reader is an MBR disk whose first
// partition is the volume "\\.\E:", with a mounted file system on each
// partition.
#include "disk_model.h"

#include "drives/raw_volume_win32.h"
#include "format/format_job.h"
#include "platform/card_session.h"
#include "trellan/trellan.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t kMebibyte = 1024 * 1024;
constexpr std::uint64_t kCardBytes = 16 * kMebibyte;
constexpr std::size_t kMbrSignatureOffset = 510;
constexpr std::size_t kFirstPartitionTypeOffset = 0x1C2;

// 16 MiB: the first partition (E:) 4 MiB in, as on most SD cards, its file
// system 64 KiB short of its end; a second partition (F:) after it, and
// slack at the end.
DiskModel::Card PartitionedCard(DWORD sectorBytes = 512)
{
    return DiskModel::Card{
        .lengthBytes = kCardBytes,
        .sectorBytes = sectorBytes,
        .diskNumber = 2,
        .partitions = {{.letter = 'E', .startBytes = 4 * kMebibyte, .lengthBytes = 8 * kMebibyte,
                        .fileSystemBytes = 8 * kMebibyte - 64 * 1024},
                       {.letter = 'F', .startBytes = 12 * kMebibyte, .lengthBytes = 3 * kMebibyte,
                        .fileSystemBytes = 3 * kMebibyte}},
        .wine = false,
    };
}

DiskModel::Card WineCard(char letter)
{
    return DiskModel::Card{.lengthBytes = kCardBytes, .sectorBytes = 512, .diskNumber = 1,
                           .partitions = {{.letter = letter, .startBytes = 0, .lengthBytes = kCardBytes,
                                           .fileSystemBytes = kCardBytes}},
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
    return card[kMbrSignatureOffset] == 0x55 && card[kMbrSignatureOffset + 1] == 0xAA &&
           card[kFirstPartitionTypeOffset] != 0;
}

[[maybe_unused]] std::vector<std::uint64_t> SectorsKeepingOldData(const DiskModel& model, std::size_t card, DWORD sectorBytes)
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

TEST(CardSession, TheLibraryOnItsOwnWritesTheMbrAtTheCardsFirstSector)
{
    DiskModel model;
    const std::size_t card = model.AddCard(PartitionedCard());
    char label[16] = "CAMERA";
    ASSERT_EQ(Trellan_BuildSd('E', label), 1);
    EXPECT_TRUE(HasMbrAtSectorZero(model.Bytes(card)));
    // The partition's old boot sector, which a layout inside the partition
    // would have overwritten with an MBR, is not where the new MBR went.
    EXPECT_NE(model.Bytes(card)[4 * kMebibyte + kFirstPartitionTypeOffset + 0x10], 0xAA);
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
    DiskModel model;
    model.AddCard(PartitionedCard());
    const HeldElsewhere other('E');
    ASSERT_TRUE(other.held);
    char label[16] = "";
    EXPECT_EQ(Trellan_BuildSd('F', label), 0) << "another format holds the card";
    EXPECT_EQ(model.WritesLanded(), 0u);
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
    EXPECT_EQ(Trellan_BuildSd('H', label), 1);
    EXPECT_FALSE(HasMbrAtSectorZero(model.Bytes(g)));
    EXPECT_TRUE(HasMbrAtSectorZero(model.Bytes(h)));
}

}  // namespace
