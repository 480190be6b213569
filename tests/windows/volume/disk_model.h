// A model of Windows' documented rules for cards in readers, installed
// behind DiskCalls: Wine can show none of them (its volume is the whole
// image, its locks exclude nobody, it refuses no write). Each rule names the
// Microsoft page it comes from, in disk_model.cpp.
#pragma once

#include "platform/disk_calls.h"

#include <winioctl.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class DiskModel : public DiskCalls {
public:
    struct Partition {
        char letter = 0;  // 0: mounted without a drive letter
        std::uint64_t startBytes = 0;
        std::uint64_t lengthBytes = 0;
        // Where the mounted file system ends, inside the partition.
        std::uint64_t fileSystemBytes = 0;
        std::uint8_t type = 0x0C;
    };
    struct Card {
        std::uint64_t lengthBytes = 0;
        DWORD sectorBytes = 512;
        DWORD diskNumber = 2;
        // 4096 on a 512e card; 0: as sectorBytes.
        DWORD physicalSectorBytes = 0;
        std::vector<Partition> partitions;
        // As Wine shows an image drive: the volume is the whole image, every
        // disk query answers "not supported", locks exclude nobody.
        bool wine = false;
    };

    // Installs itself behind DiskCalls until destroyed.
    DiskModel();
    ~DiskModel() override;

    // Adds a card, its bytes filled with a per-sector pattern of old data;
    // returns its index.
    std::size_t AddCard(const Card& card);
    const std::vector<std::uint8_t>& Bytes(std::size_t card) const { return m_cards[card].bytes; }
    // The old data of a sector, as AddCard wrote it.
    std::vector<std::uint8_t> OldSector(std::size_t card, std::uint64_t sector) const;
    void SetWriteProtected(std::size_t card, bool writeProtected);
    void SetDiskOpenRefused(std::size_t card, bool refused);
    // The card sits in a USB reader that names itself, not on an SD host.
    void SetUsbReader(std::size_t card, const std::string& vendor, const std::string& model);
    // A reader whose driver answers every lock with this error.
    void SetLockAnswer(std::size_t card, DWORD error);
    // Reads from this offset on fail with a CRC error, as a failing card's.
    void SetUnreadableFrom(std::size_t card, std::uint64_t offsetBytes);
    // Takes the card out of its reader, or puts it back (a media change).
    void SetCardPresent(std::size_t card, bool present);
    // Another program with the letter's volume open: one that closes it a
    // while after a lock is first attempted (as programs registered for the
    // volume's notifications do), or one that never lets go.
    enum class Holder { letsGoWhenLocked, stubborn };
    HANDLE HoldOpen(char letter, Holder holder = Holder::stubborn, DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE);
    // A reader whose driver answers a re-read without re-reading; one whose
    // layout neither a re-read nor a set layout changes.
    void SetRereadIgnored(std::size_t card, bool ignored);
    void SetLayoutRefused(std::size_t card, bool refused);
    // What the system writes by itself into each mounted, unlocked volume
    // of the card shortly after insertion.
    void SystemWritesToMountedVolumes(std::size_t card);
    // Where the letter's volume lies now, by the cached layout, and the
    // sector it reads first there; nullopt when it has not arrived.
    std::optional<std::uint64_t> VolumeStart(char letter) const;
    std::vector<std::uint8_t> VolumeBootSector(char letter) const;
    // Writes that landed through volume handles rather than the disk's.
    std::size_t WritesThroughVolumes() const { return m_volumeWrites; }
    // Opens of the card's volumes or disk for reading or writing.
    std::size_t DataOpensOf(std::size_t card) const;
    // The calling program's execution state, as the last call set it.
    EXECUTION_STATE ExecutionState() const { return m_executionState; }
    // The name the system gives a partition's volume, lettered or not,
    // as "\\?\Volume{...}\".
    static std::string VolumeNameOf(std::size_t card, std::size_t partition);
    // Writes that changed bytes on any card.
    std::size_t WritesLanded() const { return m_writesLanded; }
    // Reads through handles opened without FILE_FLAG_NO_BUFFERING, which
    // the system may answer from its cache instead of the card.
    std::size_t CachedReads() const { return m_cachedReads; }

    HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD flags = 0) override;
    BOOL Control(HANDLE handle, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes,
                 DWORD* returned) override;
    BOOL Read(HANDLE handle, void* buffer, DWORD bytes, DWORD* done) override;
    BOOL Write(HANDLE handle, const void* buffer, DWORD bytes, DWORD* done) override;
    BOOL Seek(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* position, DWORD method) override;
    BOOL Size(HANDLE handle, LARGE_INTEGER* size) override;
    BOOL Flush(HANDLE handle) override;
    BOOL Close(HANDLE handle) override;
    UINT DriveType(const std::string& root) override;
    BOOL VolumeName(const std::string& root, char* name, DWORD bytes) override;
    BOOL FileInformation(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information) override;
    std::vector<std::string> VolumeNames() override;
    // Time passes only in the model: waits cost the tests nothing.
    void Pause(DWORD milliseconds) override;
    EXECUTION_STATE SetExecutionState(EXECUTION_STATE state) override;

    // How long a holder that lets go takes after the first lock attempt.
    static constexpr std::uint64_t kLetGoDelayMs = 3000;
    // Opens of a volume that fail while it arrives after a layout change.
    static constexpr int kArrivalOpens = 3;

private:
    struct PartitionState {
        Partition layout;
        bool mounted = true;
        HANDLE lockedBy = nullptr;
    };
    struct CardState {
        Card layout;
        std::vector<PartitionState> partitions;
        std::vector<std::uint8_t> bytes;
        bool writeProtected = false;
        bool diskOpenRefused = false;
        std::string readerVendor;  // empty: on an SD host
        std::string readerModel;
        bool present = true;
        ULONG mediaChanges = 1;
        std::optional<std::uint64_t> unreadableFrom;
        std::optional<DWORD> lockAnswer;
        bool rereadIgnored = false;
        bool layoutRefused = false;
        DWORD signature = 0;
        int arrivalOpensLeft = 0;
        std::size_t dataOpens = 0;
    };
    struct OpenHandle {
        std::size_t card = 0;
        std::optional<std::size_t> partition;  // nullopt: the whole disk
        DWORD access = 0;
        DWORD share = 0;
        DWORD flags = 0;
        std::uint64_t position = 0;
        bool extendedDasd = false;
        // Its volume was dismounted under it, or its partition is gone.
        bool invalidated = false;
        std::optional<Holder> holder;
        std::optional<std::uint64_t> letGoAtMs;
    };
    struct Region {
        std::uint64_t startBytes;
        std::uint64_t lengthBytes;
    };

    OpenHandle* Find(HANDLE handle);
    Region RegionOf(const OpenHandle& open) const;
    HANDLE Add(const OpenHandle& open);
    BOOL Control(OpenHandle& open, HANDLE handle, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes,
                 DWORD* returned);
    BOOL ControlVolume(OpenHandle& open, HANDLE handle, DWORD code);
    BOOL ControlLayout(OpenHandle& open, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes,
                       DWORD* returned);
    bool SharingConflicts(const OpenHandle& open) const;
    void LetHoldersGo(const OpenHandle& open);
    void RereadLayout(CardState& card);
    bool AnyVolumeLocked(const CardState& card) const;
    std::optional<DWORD> WriteRefusal(const OpenHandle& open, HANDLE handle, std::uint64_t offset,
                                      std::uint64_t bytes) const;
    BOOL Transfer(HANDLE handle, std::uint8_t* read, const std::uint8_t* write, DWORD bytes, DWORD* done);

    mutable std::mutex m_lock;
    std::vector<CardState> m_cards;
    std::map<HANDLE, OpenHandle> m_handles;
    std::uintptr_t m_nextHandle = 0x4000;
    std::size_t m_writesLanded = 0;
    std::size_t m_cachedReads = 0;
    std::size_t m_volumeWrites = 0;
    std::uint64_t m_clockMs = 0;
    EXECUTION_STATE m_executionState = ES_CONTINUOUS;
};
