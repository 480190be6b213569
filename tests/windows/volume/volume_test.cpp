// Runs inside the suite of run-volume-tests.sh, which maps the readers:
//   E: an 8 GiB sparse image      F: a reader without a card
//   G: 3 MiB + 512 bytes of zeros H: 3 MiB + 512 bytes of 0xFF
//   I: H's twin, read-only            J: a second letter on G's image
#include "drives/capacity_text.h"
#include "drives/raw_volume_win32.h"
#include "format/card_format_win32.h"
#include "platform/card_session.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr ULONGLONG kEightGibibytes = ULONGLONG{8} << 30;
constexpr ULONGLONG kSmallImageBytes = 3 * 1024 * 1024 + 512;

// One image behind two letters is one card: a format on either keeps the
// other out, and leaves other cards alone.
TEST(Volume, TwoLettersOnOneImageAreOneCard)
{
    CardSession g;
    ASSERT_TRUE(g.Open('G'));
    ASSERT_EQ(g.Claim(), CardRefusal::none);
    const auto claimElsewhere = [](char letter) {
        CardRefusal refusal = CardRefusal::noCard;
        std::thread([&] {
            CardSession other;
            if (other.Open(letter)) {
                refusal = other.Claim();
            }
        }).join();
        return refusal;
    };
    EXPECT_EQ(claimElsewhere('J'), CardRefusal::otherFormat);
    EXPECT_EQ(claimElsewhere('H'), CardRefusal::none);
}

TEST(Volume, ImageWithoutGeometryGetsTheDerivedOne)
{
    CardSession volume;
    ASSERT_TRUE(volume.Open('E'));
    DISK_GEOMETRY geometry{};
    ASSERT_TRUE(volume.GetDriveGeometry(geometry));
    EXPECT_EQ(geometry.Cylinders.QuadPart, 1044);  // 8 GiB / (255 x 63 x 512), whole cylinders
    EXPECT_EQ(geometry.TracksPerCylinder, 255u);
    EXPECT_EQ(geometry.SectorsPerTrack, 63u);
    EXPECT_EQ(geometry.BytesPerSector, 512u);
    EXPECT_EQ(geometry.MediaType, RemovableMedia);
    EXPECT_EQ(volume.Length(), kEightGibibytes);

    const std::optional<DiskGeometry> read = ReadDriveGeometry('E');
    ASSERT_TRUE(read);
    EXPECT_EQ(DecideCapacityView(CapacityQuery::poll, read).sizeText, "7.99 GBytes ( 8587192320  Bytes )    ");
}

TEST(Volume, ReaderWithoutCardReadsAsZeroBytes)
{
    CardSession volume;
    DISK_GEOMETRY geometry{};
    EXPECT_FALSE(volume.Open('F') && volume.GetDriveGeometry(geometry));
    EXPECT_EQ(ReadDriveGeometry('F'), std::nullopt);
    const std::unique_ptr<RawVolume> opened = Win32RawVolumeOpener().OpenRawVolume('F');
    EXPECT_TRUE(!opened || !opened->ReadGeometry());
    const CapacityView view = DecideCapacityView(CapacityQuery::poll, ReadDriveGeometry('F'));
    EXPECT_EQ(view.sizeText, "0 Bytes" + std::string(40, ' '));
    EXPECT_FALSE(view.startButton.windowEnabled);
}

TEST(Volume, WritesPastTheEndFailAndNeverGrowTheImage)
{
    CardSession volume;
    ASSERT_TRUE(volume.Open('G'));
    ASSERT_EQ(volume.Claim(), CardRefusal::none);
    const std::vector<char> zeros(1024, 0);
    const struct {
        ULONGLONG offset;
        DWORD bytes;
        DWORD written;
    } cases[] = {
        {kSmallImageBytes - 512, 512, 512},   {kSmallImageBytes, 512, 0},
        {kSmallImageBytes - 512, 1024, 0},  // straddles the end: nothing of it is written
        {(ULONGLONG{1} << 32) + 512, 512, 0}, {~ULONGLONG{0} - 100, 512, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(volume.Write(c.offset, zeros.data(), c.bytes), c.written) << c.offset;
    }
    volume.End();
    ASSERT_TRUE(volume.Open('G'));
    EXPECT_EQ(volume.Length(), kSmallImageBytes);
}

TEST(Volume, OffsetsBeyondFourGibibytesLandWhereAddressed)
{
    CardSession volume;
    ASSERT_TRUE(volume.Open('E'));
    ASSERT_EQ(volume.Claim(), CardRefusal::none);
    const std::vector<char> pattern(512, 'V');
    const ULONGLONG offset = ULONGLONG{5} << 30;  // checked from Linux: not at 1 GiB
    ASSERT_EQ(volume.Write(offset, pattern.data(), 512), 512u);
    std::vector<char> back(512, 0);
    ASSERT_EQ(volume.Read(offset, back.data(), 512), 512u);
    EXPECT_EQ(back, pattern);
}

class AnsweringDialog : public FormatJobDialog {
public:
    void ShowMessage(JobMessage message) override { messages.push_back(message); }
    bool ConfirmFormat(std::string_view) override { return true; }
    void ShowProgressBar() override {}
    void SetBarRange(std::int64_t, std::int64_t upper) override { barUpper = upper; }
    void SetBarPosition(std::int64_t position) override { barPosition = position; }
    void PumpPendingMessages() override {}

    std::vector<JobMessage> messages;
    std::int64_t barUpper = -1;
    std::int64_t barPosition = -1;
};

class SucceedingLibrary : public CardLibrary {
public:
    int Build(trellan::Builder builder, char, char*, const std::optional<trellan::ExfatOemSector>&) override
    {
        built.push_back(builder);
        return 1;
    }
    std::vector<trellan::Builder> built;
};

TEST(Volume, CompleteEraseZeroesTheWholeCardAndNothingBeyond)
{
    Win32RawVolumeOpener opener;
    AnsweringDialog dialog;
    SucceedingLibrary library;
    const FormatJobInputs inputs{.driveLetter = 'H',
                                 .label = {},
                                 .cardType = CardType::sd,
                                 .eraseMode = EraseMode::complete,
                                 .card = SampleDriveCard('H')};
    EXPECT_EQ(RunFormatJob(inputs, opener, dialog, library, [] { return 1; }), FORMAT_DONE);
    EXPECT_TRUE(dialog.messages.empty());
    EXPECT_EQ(library.built, std::vector{trellan::Builder::sd});
    EXPECT_EQ(dialog.barUpper, 6);  // six whole 512 KiB blocks, then one tail sector
    EXPECT_EQ(dialog.barPosition, 6);
}

TEST(Volume, ReadOnlyImageIsAWriteProtectedCard)
{
    const std::optional<DiskGeometry> geometry = ReadDriveGeometry('I');
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->bytesPerSector, 512u);

    Win32RawVolumeOpener opener;
    AnsweringDialog dialog;
    SucceedingLibrary library;
    const FormatJobInputs inputs{.driveLetter = 'I',
                                 .label = {},
                                 .cardType = CardType::sd,
                                 .eraseMode = EraseMode::complete,
                                 .card = SampleDriveCard('I')};
    EXPECT_EQ(RunFormatJob(inputs, opener, dialog, library, [] { return 1; }), FORMAT_FAILED);
    EXPECT_EQ(dialog.messages, std::vector{JobMessage::writeProtected});
    EXPECT_TRUE(library.built.empty());
}

}  // namespace
