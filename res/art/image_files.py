"""Writers for the three file kinds the resource compiler takes.

BMP and ICO are written by hand so their layout is exactly what windres and
LoadImage expect: BITMAPINFOHEADER, uncompressed, rows bottom-up and padded to
four bytes.
"""
import struct

BITMAPINFOHEADER_SIZE = 40
FILE_HEADER_SIZE = 14
PIXELS_PER_METRE = 2835  # 72 dpi, only informative


def bottom_up_rows(image, channels, order):
    """Pixel rows, last row first, channels reordered (e.g. "BGR"), padded to 4 bytes."""
    width, height = image.size
    data = image.tobytes()
    stride = width * channels
    padding = b"\0" * (-stride % 4)
    source = {c: i for i, c in enumerate(image.mode)}
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[y * stride:(y + 1) * stride]
        out = bytearray(stride)
        for i, channel in enumerate(order):
            out[i::channels] = row[source[channel]::channels]
        rows.append(bytes(out) + padding)
    return b"".join(rows)


def info_header(width, height, bits, image_bytes):
    return struct.pack("<IiiHHIIiiII", BITMAPINFOHEADER_SIZE, width, height, 1, bits, 0,
                       image_bytes, PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)


def write_bmp(image, path):
    """24-bit uncompressed bottom-up BMP."""
    pixels = bottom_up_rows(image.convert("RGB"), 3, "BGR")
    offset = FILE_HEADER_SIZE + BITMAPINFOHEADER_SIZE
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        out.write(info_header(image.width, image.height, 24, len(pixels)))
        out.write(pixels)


def and_mask(image):
    """1-bit mask, set where the icon is fully transparent; rows padded to 32 bits."""
    width, height = image.size
    alpha = image.getchannel("A").tobytes()
    row_bytes = (width + 31) // 32 * 4
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(width):
            if alpha[y * width + x] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    return b"".join(rows)


def write_ico(images, path):
    """Icon file with one 32-bit DIB entry (colour plus AND mask) per image."""
    blobs = []
    for image in images:
        image = image.convert("RGBA")
        colour = bottom_up_rows(image, 4, "BGRA")
        mask = and_mask(image)
        # An icon DIB's height counts the colour rows and the mask rows.
        header = info_header(image.width, image.height * 2, 32, len(colour) + len(mask))
        blobs.append(header + colour + mask)
    offset = 6 + 16 * len(images)
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(images)))
        for image, blob in zip(images, blobs):
            out.write(struct.pack("<BBBBHHII", image.width % 256, image.height % 256, 0, 0, 1, 32,
                                  len(blob), offset))
            offset += len(blob)
        for blob in blobs:
            out.write(blob)


def write_png(image, path):
    """PNG without time or text chunks, so reruns give identical bytes."""
    image.save(path, "PNG", optimize=True)
