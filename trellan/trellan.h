/* Trellan.dll: the card-format library's exported C interface.
 *
 * Every entry point takes a drive letter ('D'..'Z'; lower case accepted),
 * runs synchronously and returns non-zero on success, zero on any failure.
 *
 * Builders: each formats the whole card behind the letter and takes the
 * volume label as a NUL-terminated string in the system ANSI code page (a
 * null pointer is an empty label), or, where that page cannot hold it, in
 * UTF-8 after the UTF-8 byte-order mark EF BB BF, which no ANSI label
 * typed begins with. The label is only read, never written; a
 * label the file system cannot hold is cut or has characters replaced, it
 * never makes a format fail. A builder refuses, before it locks, dismounts
 * or writes anything, a drive that is not removable, one the probe marks
 * 0xC, and a reader without a card; a card that shrinks or goes away while
 * it is formatted makes the format fail and is never written past its end.
 * A builder formats the whole card, through its disk, with every volume on
 * it locked; it refuses, before it writes anything, a card another format
 * holds, one whose volumes are in use, and one of which only a partition
 * can be reached.
 *   Trellan_BuildCf     CompactFlash: FAT12/16 up to 2 GiB, FAT32 above
 *   Trellan_BuildExFat  SDXC-style exFAT (label as UTF-16, up to 11 units)
 *   Trellan_BuildFat32  SDHC-style FAT32
 *   Trellan_BuildSd     SDSC-style FAT12/FAT16
 *   Trellan_BuildMmc    MultiMediaCard FAT12/FAT16
 *
 * Trellan_BuildExFat keeps the card's exFAT flash-parameters record (OEM
 * parameters), in both boot regions under a fresh boot checksum: the one
 * the card holds, or, called inside a format that has already erased the
 * card, the one that format read before its first write.
 *
 * Trellan_ProbeDevice: identifies the device behind the letter. On success
 * it writes exactly one byte through id and returns non-zero; when the device
 * cannot be queried it returns zero and writes nothing.
 *   Low nibble, what the device is:
 *     0x0  bus not known
 *     0x1  SD host (native SD bus)
 *     0x2  MMC host
 *     0x3  USB (card reader or stick)
 *     0x4  ATA, ATAPI or SATA (e.g. CompactFlash in an IDE adapter)
 *     0x5  another bus (SCSI, FireWire, SAS, virtual, ...)
 *     0xC  never offer this device: it holds the running Windows, its boot
 *          volume or a page file
 *   Bit 4 (0x10): the device reports removable media.
 *   Bits 5-7: zero.
 */
#ifndef TRELLAN_TRELLAN_H
#define TRELLAN_TRELLAN_H

#ifdef TRELLAN_BUILDING_DLL
#define TRELLAN_API __declspec(dllexport)
#else
#define TRELLAN_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

TRELLAN_API int Trellan_ProbeDevice(char letter, unsigned char* id);
TRELLAN_API int Trellan_BuildCf(char letter, char* label);
TRELLAN_API int Trellan_BuildExFat(char letter, char* label);
TRELLAN_API int Trellan_BuildFat32(char letter, char* label);
TRELLAN_API int Trellan_BuildSd(char letter, char* label);
TRELLAN_API int Trellan_BuildMmc(char letter, char* label);

#ifdef __cplusplus
}
#endif

#endif
