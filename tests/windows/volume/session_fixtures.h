// What the tests of the job and Trellan.dll against the model of Windows'
// disk rules share: the cards, a dialog that answers Yes, the library in
// this process and the job as the dialog runs it.
#pragma once

#include "disk_model.h"

#include "drives/raw_volume_win32.h"
#include "format/format_job.h"
#include "platform/card_session.h"
#include "trellan/byte_order.h"
#include "trellan/mbr.h"
#include "trellan/trellan.h"

#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace session_fixtures {

constexpr std::uint64_t kMebibyte = 1024 * 1024;
constexpr std::uint64_t kCardBytes = 16 * kMebibyte;
using trellan::mbr_offset::first_entry;
namespace entry = trellan::partition_entry_offset;

// 16 MiB: the first partition (E:) 4 MiB in, as on most SD cards, its file
// system 64 KiB short of its end; a second partition (F:, or mounted without
// a letter) after it, and slack at the end.
inline DiskModel::Card PartitionedCard(DWORD sectorBytes = 512, char secondLetter = 'F')
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

inline DiskModel::Card WineCard(char letter)
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

inline bool HasMbrAtSectorZero(const std::vector<std::uint8_t>& card)
{
    return trellan::load_le16(card, trellan::mbr_offset::signature) == trellan::boot_signature &&
           card[first_entry + entry::type] != 0;
}

inline std::vector<std::uint64_t> SectorsKeepingOldData(const DiskModel& model, std::size_t card, DWORD sectorBytes)
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
    bool IsWriteProtected(RawVolume& volume) override
    {
        if (beforeTrialWrite) {
            beforeTrialWrite();
        }
        return FormatJobDialog::IsWriteProtected(volume);
    }
    void ShowProgressBar() override {}
    void SetBarRange(std::int64_t, std::int64_t) override {}
    void SetBarPosition(std::int64_t) override
    {
        if (duringErase) {
            duringErase();
        }
    }
    void PumpPendingMessages() override {}

    std::vector<JobMessage> messages;
    std::vector<std::string> texts;
    // Inside the claim, before the trial write; at each step of the erase.
    std::function<void()> beforeTrialWrite;
    std::function<void()> duringErase;
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
// afterQuestion: what happens to the card between the question and the job.
inline int RunJob(char letter, EraseMode erase, AnsweringDialog& dialog, CardLibrary* builders = nullptr,
                  const std::function<void()>& afterQuestion = {})
{
    Win32RawVolumeOpener volumes;
    FormatJobInputs inputs{
        .driveLetter = letter, .label = {}, .cardType = CardType::sd, .eraseMode = erase, .card = std::nullopt};
    if (const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(letter)) {
        const std::optional<DiskGeometry> geometry = volume->ReadGeometry();
        inputs.card = geometry ? SampleCard(*volume, geometry->bytesPerSector) : std::nullopt;
    }
    if (afterQuestion) {
        afterQuestion();
    }
    InProcessLibrary library;
    return RunFormatJob(inputs, volumes, dialog, builders != nullptr ? *builders : library, [] { return 1; });
}

}  // namespace session_fixtures
