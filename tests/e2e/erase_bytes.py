#!/usr/bin/env python3
"""What the erase pass left on a card image.

  erase_bytes.py pattern IMAGE            fill IMAGE with the pattern byte
  erase_bytes.py check IMAGE optimized|complete

The builder rewrites the card up to the FAT file system's data area, its
first and last MiB and the partition's first MiB (where stale signatures
would lie). check
reads where the data area starts and, over the 512 KiB blocks between the
builder's two areas, expects the erase's zeros and the pattern elsewhere:
Optimized zeroes the first 8 KiB of every 512 KiB, Complete everything.
"""
import struct
import sys

PATTERN = 0xA5
BLOCK_BYTES = 512 * 1024
OPTIMIZED_ZEROED_BYTES = 8 * 1024
SECTOR_BYTES = 512
BUILDER_EDGE_BYTES = 1024 * 1024

# Offsets in the MBR and in a FAT boot sector.
MBR_FIRST_PARTITION_LBA = 0x1C6
BPB_BYTES_PER_SECTOR = 0x0B
BPB_RESERVED_SECTORS = 0x0E
BPB_FAT_COUNT = 0x10
BPB_ROOT_ENTRIES = 0x11
BPB_SECTORS_PER_FAT16 = 0x16
BPB_SECTORS_PER_FAT32 = 0x24
ROOT_ENTRY_BYTES = 32


def pattern(path):
    with open(path, 'r+b') as image:
        image.seek(0, 2)
        size = image.tell()
        image.seek(0)
        block = bytes([PATTERN]) * BLOCK_BYTES
        for _ in range(size // BLOCK_BYTES):
            image.write(block)
        image.write(block[:size % BLOCK_BYTES])


def builder_area_end(image):
    """Where the builder's own area at the card's start ends: the data area,
    or the end of the partition's first MiB if that lies further."""
    image.seek(0)
    mbr = image.read(SECTOR_BYTES)
    partition_sector = struct.unpack_from('<I', mbr, MBR_FIRST_PARTITION_LBA)[0]
    data_area = data_area_offset(image, partition_sector)
    if data_area is None:
        return None
    return max(data_area, partition_sector * SECTOR_BYTES + BUILDER_EDGE_BYTES)


def data_area_offset(image, partition_sector):
    image.seek(partition_sector * SECTOR_BYTES)
    boot = image.read(SECTOR_BYTES)
    bytes_per_sector = struct.unpack_from('<H', boot, BPB_BYTES_PER_SECTOR)[0]
    if bytes_per_sector != SECTOR_BYTES:
        return None
    reserved = struct.unpack_from('<H', boot, BPB_RESERVED_SECTORS)[0]
    fats = boot[BPB_FAT_COUNT]
    root_entries = struct.unpack_from('<H', boot, BPB_ROOT_ENTRIES)[0]
    per_fat = struct.unpack_from('<H', boot, BPB_SECTORS_PER_FAT16)[0] or \
        struct.unpack_from('<I', boot, BPB_SECTORS_PER_FAT32)[0]
    root_sectors = -(-root_entries * ROOT_ENTRY_BYTES // bytes_per_sector)
    return (partition_sector + reserved + fats * per_fat + root_sectors) * SECTOR_BYTES


def check(path, mode):
    zeroed = OPTIMIZED_ZEROED_BYTES if mode == 'optimized' else BLOCK_BYTES
    expected = bytes(zeroed) + bytes([PATTERN]) * (BLOCK_BYTES - zeroed)
    with open(path, 'rb') as image:
        start = builder_area_end(image)
        if start is None:
            print('not a FAT file system with 512-byte sectors')
            return 1
        image.seek(0, 2)
        end = image.tell() - BUILDER_EDGE_BYTES
        first = -(-max(start, BUILDER_EDGE_BYTES) // BLOCK_BYTES) * BLOCK_BYTES
        image.seek(first)
        blocks = wrong = 0
        while first + blocks * BLOCK_BYTES < end:
            block = image.read(min(BLOCK_BYTES, end - first - blocks * BLOCK_BYTES))
            if block != expected[:len(block)]:
                if wrong == 0:
                    at = next(i for i, (a, b) in enumerate(zip(block, expected)) if a != b)
                    print(f'first difference at byte {first + blocks * BLOCK_BYTES + at}: '
                          f'{block[at]:#04x}, expected {expected[at]:#04x}')
                wrong += 1
            blocks += 1
    print(f"{mode}: {blocks} blocks from byte {first} to {end} (the builder's area ends at {start}), {wrong} not as erased")
    return 0 if wrong == 0 and blocks > 0 else 1


if __name__ == '__main__':
    if sys.argv[1] == 'pattern':
        pattern(sys.argv[2])
    else:
        sys.exit(check(sys.argv[2], sys.argv[3]))
