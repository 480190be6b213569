#include "trellan/win32/card_device.h"

#include <winioctl.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/disk_calls.h"
#include "platform/volume.h"
#include "trellan/win32/device_identity.h"
#include "trellan/win32/win32_handle.h"

namespace trellan {
namespace {

// One call moves at most this much; DWORD counts and driver limits both hold.
constexpr std::size_t max_transfer_bytes = 1 << 20;
constexpr std::uint32_t default_sector_bytes = 512;

std::uint32_t sector_bytes(HANDLE handle)
{
    DISK_GEOMETRY geometry{};
    DWORD returned = 0;
    if (Disk().Control(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof(geometry), &returned) &&
        geometry.BytesPerSector != 0) {
        return geometry.BytesPerSector;
    }
    return default_sector_bytes;
}

// Moves the whole buffer at first_byte through the session, one call per
// piece of at most max_transfer_bytes; a short transfer is an error. The
// session writes only within the card as it is now (Wine grows an image
// file written past its end, so a pulled card would otherwise be written
// back to its old size), and passes buffers an unbuffered hold would
// refuse through aligned memory.
template <typename Byte, typename Transfer>
IoResult transfer_in_pieces(std::uint64_t first_byte, std::span<Byte> buffer, Transfer transfer)
{
    for (std::size_t done = 0; done < buffer.size();) {
        const auto count = static_cast<DWORD>(std::min(max_transfer_bytes, buffer.size() - done));
        if (transfer(first_byte + done, buffer.data() + done, count) != count) {
            return IoResult::io_error;
        }
        done += count;
    }
    return IoResult::ok;
}

}  // namespace

// Every check comes before the claim, the locks and the dismounts, which
// are the first acts with an effect: dismounting a drive that is no card
// takes its file system away from everything using it (under Wine, it
// unmounts the host file system behind a drive mapped to a mount point).
// The identity is read through a handle without access rights, which
// leaves a lock to be taken and reaches a volume the program's session
// already holds.
std::unique_ptr<Win32CardDevice> Win32CardDevice::open(char letter)
{
    if (!is_drive_letter(letter) || Disk().DriveType(RootPath(letter)) != DRIVE_REMOVABLE) {
        return nullptr;
    }
    {
        UniqueHandle query(Disk().Open(VolumePath(letter), 0, FILE_SHARE_READ | FILE_SHARE_WRITE));
        if (!query.valid() || is_never_offered(identify_device(letter, query.get()))) {
            return nullptr;
        }
    }
    std::unique_ptr<Win32CardDevice> device(new Win32CardDevice());
    CardSession& session = device->session_;
    if (!session.Open(letter) || session.Claim() != CardRefusal::none) {
        return nullptr;
    }
    const std::optional<std::uint64_t> bytes = session.Length();
    const std::uint32_t sector_size = sector_bytes(session.CardHandle());
    if (!bytes || *bytes < sector_size) {
        return nullptr;
    }
    device->sector_size_bytes_ = sector_size;
    device->length_sectors_ = *bytes / sector_size;
    return device;
}

bool Win32CardDevice::within(std::uint64_t first_sector, std::uint64_t count_sectors) const
{
    return first_sector <= length_sectors_ && count_sectors <= length_sectors_ - first_sector;
}

IoResult Win32CardDevice::read(std::uint64_t first_sector, std::span<std::uint8_t> buffer)
{
    if (buffer.size() % sector_size_bytes_ != 0 || !within(first_sector, buffer.size() / sector_size_bytes_)) {
        return IoResult::out_of_range;
    }
    return transfer_in_pieces(
        first_sector * sector_size_bytes_, buffer,
        [this](ULONGLONG offset, std::uint8_t* bytes, DWORD count) { return session_.Read(offset, bytes, count); });
}

IoResult Win32CardDevice::write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer)
{
    if (buffer.size() % sector_size_bytes_ != 0 || !within(first_sector, buffer.size() / sector_size_bytes_)) {
        return IoResult::out_of_range;
    }
    return transfer_in_pieces(first_sector * sector_size_bytes_, buffer,
                              [this](ULONGLONG offset, const std::uint8_t* bytes, DWORD count) {
                                  return session_.Write(offset, bytes, count);
                              });
}

// The partition table is read again when the card is given back, with
// its volumes unlocked: Windows ignores a re-read while they are locked.
IoResult Win32CardDevice::flush()
{
    return session_.Flush() ? IoResult::ok : IoResult::io_error;
}

bool Win32CardDevice::give_back()
{
    return session_.GiveBack();
}

std::optional<ExfatOemSector> Win32CardDevice::kept_oem_parameters() const
{
    return session_.KeptOemParameters();
}

}  // namespace trellan
