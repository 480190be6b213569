// One format's hold on a card, shared by the program and Trellan.dll: the
// card behind a drive letter found from its volume (card_finding), claimed
// against every other format, its volumes locked and dismounted once
// (card_locking), and given back with a flush, an unlock and a re-read of
// the partition table that the card must then show (card_release).
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class CardRefusal {
    none,
    // The reader answers nothing: no card in it.
    noCard,
    // The volume is one partition of a disk that cannot be reached: writing
    // through the volume would put a new card layout inside the partition.
    notWholeCard,
    // A volume on the card stays in use by another program.
    inUse,
    // Another format, in this program or another, holds the card.
    otherFormat,
};

// The bytes of an exFAT volume's flash-parameters sector.
inline constexpr std::size_t kOemParametersBytes = 512;
using OemParameters = std::array<BYTE, kOemParametersBytes>;

// Whether the card's handles go through the system's cache: the health
// checks must read what the card kept, so they bypass it (unbuffered,
// written through; transfers in whole sectors at sector offsets).
enum class CardCache { system, bypassed };

class CardSession {
public:
    CardSession() = default;
    ~CardSession() { End(); }
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;

    // Opens the volume and finds the whole card behind it, with no effect on
    // the card. False when the volume cannot be opened. A card that cannot
    // be reached whole is open for queries only: Claim refuses it. On the
    // thread whose session already holds this letter's card, joins that
    // session (already claimed, with its handle and its length limit)
    // instead of opening anything; cache is then the holder's.
    bool Open(char driveLetter, CardCache cache = CardCache::system);

    // Takes the card for this format: the named claim, then every volume on
    // the card locked and dismounted. Nothing is held after a refusal.
    CardRefusal Claim();

    // A card that holds less than it reports is formatted as the card it
    // really is: from now on this session, and every session that joins it
    // later, reports at most lengthBytes (geometry in whole cylinders within
    // it) and refuses writes past it. Only the session that claimed the card
    // sets it for those that join.
    void LimitLength(ULONGLONG lengthBytes);

    // The card's exFAT flash-parameters sector as read before the first
    // write took it from the card: kept for the library's build, which joins
    // the hold, for every session that joins it from now on.
    void KeepOemParameters(const OemParameters& sector);
    const std::optional<OemParameters>& KeptOemParameters() const { return m_oemParameters; }

    // The card's length, asked anew each time, within the limit; its
    // geometry; the reader's count of media changes.
    std::optional<ULONGLONG> Length();
    bool GetDriveGeometry(DISK_GEOMETRY& geometry);
    std::optional<ULONG> MediaChangeCount();

    // Bytes transferred at offsets on the whole card; 0 on failure. Only a
    // claimed card is written, and never past the length limit.
    DWORD Read(ULONGLONG offset, void* buffer, DWORD bytes);
    DWORD Write(ULONGLONG offset, const void* buffer, DWORD bytes);
    BOOL Flush();

    // The handle that reaches the whole card.
    HANDLE CardHandle() const { return m_card; }

    // After a build: flush, unlock and close the volumes, have the system
    // read the layout the build wrote (or set it) and wait for the letter's
    // volume to come back there, release the claim. False when Windows
    // still shows another layout. A session that joined another's hold
    // gives nothing back: the holder does.
    bool GiveBack();
    // The same without the layout check (nothing built, or a refusal): the
    // system is only asked to read the card again.
    void End();

private:
    enum class Reread { asked, checked };
    // What this session leaves for those that join it.
    struct SessionRecord Record() const;
    bool Release(Reread reread);
    std::uint8_t* BounceFor(const void* buffer, DWORD bytes);
    bool IsWholeDisk() const { return m_disk != INVALID_HANDLE_VALUE; }
    void FindWholeCard();
    HANDLE QueryHandle() const;
    std::string Identity();
    bool LockCardVolumes();
    bool TakeClaim();

    char m_letter = 0;
    // FILE_FLAG_ flags of the handles this session opens.
    DWORD m_openFlags = 0;
    std::optional<ULONGLONG> m_lengthLimit;
    std::optional<OemParameters> m_oemParameters;
    HANDLE m_volume = INVALID_HANDLE_VALUE;
    HANDLE m_disk = INVALID_HANDLE_VALUE;
    HANDLE m_card = INVALID_HANDLE_VALUE;
    std::optional<DWORD> m_diskNumber;
    CardRefusal m_found = CardRefusal::none;
    bool m_joined = false;
    bool m_claimed = false;
    // Every disk query answered "not supported" (Wine): so may the locks.
    bool m_volumeIsCard = false;
    DWORD m_volumeAccess = 0;
    bool m_cardWritable = false;
    std::string m_identity;
    HANDLE m_claim = nullptr;
    HANDLE m_record = nullptr;
    // Volumes of the card other than the letter's own, locked for the session.
    std::vector<HANDLE> m_otherVolumes;
    // Where buffers an unbuffered handle would refuse pass through.
    std::vector<std::uint8_t> m_bounce;
};
