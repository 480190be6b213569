#include "trellan/win32/card_device.h"

#include <winioctl.h>

#include <algorithm>
#include <optional>
#include <string>

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
    if (DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof(geometry), &returned,
                        nullptr) &&
        geometry.BytesPerSector != 0) {
        return geometry.BytesPerSector;
    }
    return default_sector_bytes;
}

// The physical drive of the card, only when the volume's extents prove it:
// a single extent, on a disk that exists and is long enough to hold it.
// Wine answers every drive with the same device number and a physical drive
// that is not the image, and its extents request fails, so it never gets here.
HANDLE whole_disk_of(HANDLE volume)
{
    VOLUME_DISK_EXTENTS extents{};
    DWORD returned = 0;
    if (!DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &extents, sizeof(extents),
                         &returned, nullptr) ||
        extents.NumberOfDiskExtents != 1) {
        return INVALID_HANDLE_VALUE;
    }
    const DISK_EXTENT& extent = extents.Extents[0];
    UniqueHandle disk(OpenReadWrite("\\\\.\\PhysicalDrive" + std::to_string(extent.DiskNumber)));
    if (!disk.valid()) {
        return INVALID_HANDLE_VALUE;
    }
    GET_LENGTH_INFORMATION disk_length{};
    if (!DeviceIoControl(disk.get(), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &disk_length, sizeof(disk_length),
                         &returned, nullptr)) {
        return INVALID_HANDLE_VALUE;
    }
    const auto start = static_cast<std::uint64_t>(extent.StartingOffset.QuadPart);
    const auto length = static_cast<std::uint64_t>(extent.ExtentLength.QuadPart);
    const auto disk_bytes = static_cast<std::uint64_t>(disk_length.Length.QuadPart);
    const std::optional<std::uint64_t> volume_bytes = DeviceLength(volume);
    if (length == 0 || start > disk_bytes || length > disk_bytes - start ||
        (volume_bytes && *volume_bytes > length)) {
        return INVALID_HANDLE_VALUE;
    }
    return disk.release();
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
        if (!SetFilePointerEx(handle, offset, nullptr, FILE_BEGIN) ||
            !transfer(handle, buffer.data() + done, count, &transferred, nullptr) || transferred != count) {
            return IoResult::io_error;
        }
        done += count;
    }
    return IoResult::ok;
}

}  // namespace

// Every check comes before the lock and the dismount, which are the first
// acts with an effect: dismounting a drive that is no card takes its file
// system away from everything using it (under Wine, it unmounts the host
// file system behind a drive mapped to a mount point).
std::unique_ptr<Win32CardDevice> Win32CardDevice::open(char letter)
{
    if (!is_drive_letter(letter) || GetDriveTypeA(RootPath(letter).c_str()) != DRIVE_REMOVABLE) {
        return nullptr;
    }
    UniqueHandle volume(OpenReadWrite(VolumePath(letter)));
    if (!volume.valid() || is_never_offered(identify_device(letter, volume.get()))) {
        return nullptr;
    }
    UniqueHandle disk(whole_disk_of(volume.get()));
    const HANDLE io = disk.valid() ? disk.get() : volume.get();
    const std::optional<std::uint64_t> bytes = DeviceLength(io);
    const std::uint32_t sector_size = sector_bytes(io);
    if (!bytes || *bytes < sector_size) {
        return nullptr;
    }
    if (!LockVolume(volume.get()) || !DismountVolume(volume.get())) {
        return nullptr;
    }
    std::unique_ptr<Win32CardDevice> device(new Win32CardDevice(volume.release(), disk.release()));
    device->sector_size_bytes_ = sector_size;
    device->length_sectors_ = *bytes / sector_size;
    return device;
}

Win32CardDevice::Win32CardDevice(HANDLE volume, HANDLE disk) : volume_(volume), disk_(disk) {}

Win32CardDevice::~Win32CardDevice()
{
    if (disk_ != INVALID_HANDLE_VALUE) {
        CloseHandle(disk_);
    }
    ControlDevice(volume_, FSCTL_UNLOCK_VOLUME);
    CloseHandle(volume_);
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
    return transfer_in_pieces(io_handle(), first_sector * sector_size_bytes_, buffer, ReadFile);
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
        if (const IoResult result = transfer_in_pieces(io_handle(), first_byte, piece, WriteFile);
            result != IoResult::ok) {
            return result;
        }
    }
    return IoResult::ok;
}

IoResult Win32CardDevice::flush()
{
    if (!FlushFileBuffers(io_handle()) && !IsNotSupported(GetLastError())) {
        return IoResult::io_error;
    }
    return ControlDevice(io_handle(), IOCTL_DISK_UPDATE_PROPERTIES) ? IoResult::ok : IoResult::io_error;
}

}  // namespace trellan
