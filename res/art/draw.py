"""Drawing primitives shared by the picture scripts.

Shapes are drawn as coverage masks at SUPERSAMPLE times the final size and
box-filtered down, so every edge is anti-aliased and the output is the same on
every run. Coordinates are given in final pixels, edges exclusive on the right
and bottom, like Win32 rectangles.
"""
from PIL import Image, ImageDraw, ImageFilter, ImageFont

SUPERSAMPLE = 4

FONT_DIR = "/usr/share/fonts/truetype/liberation/"
SANS_BOLD = FONT_DIR + "LiberationSans-Bold.ttf"
SANS = FONT_DIR + "LiberationSans-Regular.ttf"

# The dialog's own colours: its progress bar runs from RED to LIGHT_GREY; the
# captions are pure red and a mid grey, so the artwork keeps to these hues.
RED = (255, 30, 60)
LIGHT_GREY = (210, 210, 210)
WHITE = (255, 255, 255)


def lerp(a, b, t):
    """Colour between a and b; t = 0 gives a, t = 1 gives b."""
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def scaled_box(scale, x0, y0, x1, y1):
    """Inclusive pixel box of PIL for the edge-exclusive rectangle at a scale."""
    return [x0 * scale, y0 * scale, x1 * scale - 1, y1 * scale - 1]


def coverage(size, paint):
    """Anti-aliased mask; paint(draw, scale) draws white shapes at the given scale."""
    width, height = size
    big = Image.new("L", (width * SUPERSAMPLE, height * SUPERSAMPLE), 0)
    paint(ImageDraw.Draw(big), SUPERSAMPLE)
    return big.reduce(SUPERSAMPLE)


def rounded(size, x0, y0, x1, y1, radius):
    return coverage(size, lambda d, s: d.rounded_rectangle(
        scaled_box(s, x0, y0, x1, y1), radius=radius * s, fill=255))


def polygon(size, points):
    return coverage(size, lambda d, s: d.polygon(
        [(x * s, y * s) for x, y in points], fill=255))


def ellipse(size, x0, y0, x1, y1):
    return coverage(size, lambda d, s: d.ellipse(
        scaled_box(s, x0, y0, x1, y1), fill=255))


def multiply(mask, other):
    """Intersection of two masks."""
    return Image.frombytes("L", mask.size, bytes(
        a * b // 255 for a, b in zip(mask.tobytes(), other.tobytes())))


def subtract(mask, other):
    return Image.frombytes("L", mask.size, bytes(
        a * (255 - b) // 255 for a, b in zip(mask.tobytes(), other.tobytes())))


def scaled(mask, opacity):
    return mask.point(lambda v: round(v * opacity))


def blurred(mask, radius):
    return mask.filter(ImageFilter.GaussianBlur(radius))


def vertical(size, y0, y1, stops):
    """Top-to-bottom gradient over rows y0..y1 (clamped outside); stops are (t, rgb)."""
    width, height = size
    image = Image.new("RGB", size)
    draw = ImageDraw.Draw(image)
    for y in range(height):
        t = min(1.0, max(0.0, (y + 0.5 - y0) / max(1, y1 - y0)))
        draw.line([(0, y), (width - 1, y)], fill=along(stops, t))
    return image


def horizontal(size, x0, x1, stops):
    width, height = size
    image = Image.new("RGB", size)
    draw = ImageDraw.Draw(image)
    for x in range(width):
        t = min(1.0, max(0.0, (x + 0.5 - x0) / max(1, x1 - x0)))
        draw.line([(x, 0), (x, height - 1)], fill=along(stops, t))
    return image


def along(stops, t):
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return lerp(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 1.0)
    return stops[-1][1]


def solid(size, rgb):
    return Image.new("RGB", size, rgb)


def paint(target, fill, mask, opacity=1.0):
    """Lays fill (an RGB image or a colour) over the RGBA target through mask."""
    if isinstance(fill, tuple):
        fill = solid(target.size, fill)
    layer = fill.convert("RGBA")
    layer.putalpha(mask if opacity == 1.0 else scaled(mask, opacity))
    target.alpha_composite(layer)


def font(path, pixels):
    return ImageFont.truetype(path, round(pixels * SUPERSAMPLE))


def text(size, centre, words, path, pixels):
    """Mask of words whose ink is centred on centre (final pixels)."""
    face = font(path, pixels)

    def draw_words(d, s):
        left, top, right, bottom = d.textbbox((0, 0), words, font=face)
        d.text((centre[0] * s - (left + right) / 2, centre[1] * s - (top + bottom) / 2),
               words, font=face, fill=255)
    return coverage(size, draw_words)


def text_at(size, origin, words, path, pixels, anchor="ls"):
    """Mask of words placed at origin (final pixels) with a PIL text anchor."""
    face = font(path, pixels)
    return coverage(size, lambda d, s: d.text(
        (origin[0] * s, origin[1] * s), words, font=face, fill=255, anchor=anchor))


def text_width(words, path, pixels):
    left, _, right, _ = font(path, pixels).getbbox(words)
    return (right - left) / SUPERSAMPLE


def canvas(size, rgb=None):
    return Image.new("RGBA", size, (0, 0, 0, 0) if rgb is None else rgb + (255,))


def shifted(mask, dx, dy):
    out = Image.new("L", mask.size, 0)
    out.paste(mask, (dx, dy))
    return out


def box(size, x0, y0, x1, y1):
    """Rectangle mask; fractional edges come out partly covered."""
    return coverage(size, lambda d, s: d.rectangle(scaled_box(s, x0, y0, x1, y1), fill=255))


def from_rows(size, values):
    """Mask from a flat list of 0..255 values, row after row."""
    return Image.frombytes("L", size, bytes(values))
