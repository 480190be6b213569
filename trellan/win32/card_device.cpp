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

BOOL read_file(HANDLE handle, std::uint8_t* buffer, DWORD bytes, DWORD* done)
{
    return Disk().Read(handle, buffer, bytes, done);
}

BOOL write_file(HANDLE handle, const std::uint8_t* buffer, DWORD bytes, DWORD* done)
{
    return Disk().Write(handle, buffer, bytes, done);
}

// Moves the whole buffer at first_byte through ReadFile or WriteFile, one
// call per piece of at most max_transfer_bytes; a short transfer is an error.
template <typename Byte, typename Transfer>
IoResult transfer_in_pieces(HANDLE handle, std::uint64_t first_byte, std::span<Byte> buffer, Transfer transfer)
{
    for (std::size_t done = 0; done < buffer.size();) {
        LARGE_INTEGER offset{};
        offset.QuadPart = static_cast<LONGLONG>(first_byte + done);
        const auto count = static_cast<DWORD>(std::min(max_transfer_bytes, buffer.size() - done));
        DWORD transferred = 0;
        if (!Disk().Seek(handle, offset, nullptr, FILE_BEGIN) ||
            !transfer(handle, buffer.data() + done, count, &transferred) || transferred != count) {
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
    return transfer_in_pieces(io_handle(), first_sector * sector_size_bytes_, buffer, read_file);
}

// Bounds are checked here, against the card as it is now and not only as it
// was opened: Wine grows an image file written past its end, so a pulled
// card would otherwise be written back to its old size.
IoResult Win32CardDevice::write(std::uint64_t first_sector, std::span<const std::uint8_t> buffer)
{
    if (buffer.size() % sector_size_bytes_ != 0 || !within(first_sector, buffer.size() / sector_size_bytes_)) {
        return IoResult::out_of_range;
    }
    // Asked before every piece, so that a card pulled mid-write takes at
    // most the piece already on its way.
    for (std::size_t done = 0; done < buffer.size(); done += max_transfer_bytes) {
        const std::span<const std::uint8_t> piece =
            buffer.subspan(done, std::min(max_transfer_bytes, buffer.size() - done));
        const std::uint64_t first_byte = first_sector * sector_size_bytes_ + done;
        const std::optional<std::uint64_t> live_bytes = DeviceLength(io_handle());
        if (!live_bytes || first_byte > *live_bytes || piece.size() > *live_bytes - first_byte) {
            return IoResult::io_error;
        }
        if (const IoResult result = transfer_in_pieces(io_handle(), first_byte, piece, write_file);
            result != IoResult::ok) {
            return result;
        }
    }
    return IoResult::ok;
}

IoResult Win32CardDevice::flush()
{
    if (!session_.Flush()) {
        return IoResult::io_error;
    }
    return ControlDevice(io_handle(), IOCTL_DISK_UPDATE_PROPERTIES) ? IoResult::ok : IoResult::io_error;
}

std::optional<ExfatOemSector> Win32CardDevice::kept_oem_parameters() const
{
    return session_.KeptOemParameters();
}

}  // namespace trellan
