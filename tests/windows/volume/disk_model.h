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
    };
    struct Card {
        std::uint64_t lengthBytes = 0;
        DWORD sectorBytes = 512;
        DWORD diskNumber = 2;
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
    // Takes the card out of its reader, or puts it back (a media change).
    void SetCardPresent(std::size_t card, bool present);
    // A handle that another program holds open on the letter's volume.
    HANDLE HoldOpen(char letter);
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
    std::vector<std::string> VolumeNames() override;

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
        bool present = true;
        ULONG mediaChanges = 1;
    };
    struct OpenHandle {
        std::size_t card = 0;
        std::optional<std::size_t> partition;  // nullopt: the whole disk
        DWORD access = 0;
        DWORD flags = 0;
        std::uint64_t position = 0;
        bool extendedDasd = false;
    };
    struct Region {
        std::uint64_t startBytes;
        std::uint64_t lengthBytes;
    };

    OpenHandle* Find(HANDLE handle);
    Region RegionOf(const OpenHandle& open) const;
    HANDLE Add(const OpenHandle& open);
    BOOL Control(OpenHandle& open, HANDLE handle, DWORD code, void* out, DWORD outBytes, DWORD* returned);
    std::optional<DWORD> WriteRefusal(const OpenHandle& open, HANDLE handle, std::uint64_t offset,
                                      std::uint64_t bytes) const;
    BOOL Transfer(HANDLE handle, std::uint8_t* read, const std::uint8_t* write, DWORD bytes, DWORD* done);

    mutable std::mutex m_lock;
    std::vector<CardState> m_cards;
    std::map<HANDLE, OpenHandle> m_handles;
    std::uintptr_t m_nextHandle = 0x4000;
    std::size_t m_writesLanded = 0;
    std::size_t m_cachedReads = 0;
};
