"""Dialog background (485 x 403) and the separator strip (443 x 3).

The controls draw their own captions in red and grey, several of them on
white cells, so the body of the dialog stays plain white. Colour lives at the
edges: an accent line along the top, the red-to-grey strips between the groups,
a faint grey tray under the card pictures and a grey fade behind the Start
button.
"""
from PIL import ImageDraw

from draw import (LIGHT_GREY, RED, SANS, SANS_BOLD, WHITE, box, canvas, from_rows, horizontal,
                  paint, text_at, text_width, vertical)

SIZE = (485, 403)
STRIP_SIZE = (443, 3)

ACCENT_HEIGHT = 4
FOOTER_TOP = 348
FRAME = (150, 150, 154)
FOOTER = [(0.0, WHITE), (1.0, (234, 234, 238))]
# The card choice sits on a faint tray between the first two strips.
TRAY_TOP, TRAY_BOTTOM = 83, 200
TRAY = [(0.0, (251, 251, 252)), (1.0, (241, 241, 244))]

# Right end of the strips (x 20 + 443): the brand lines up with it.
CONTENT_RIGHT = 463


def red_to_grey(size):
    """The progress bar's own gradient, across the given width."""
    return horizontal(size, 0, size[0], [(0.0, RED), (1.0, LIGHT_GREY)])


def brand(image, icon):
    """Product mark in the free top-right corner: icon, name and a quiet subtitle."""
    name, subtitle = "Veltrane", "memory card formatter"
    name_px, subtitle_px = 20, 10.5
    name_left = CONTENT_RIGHT - text_width(name, SANS_BOLD, name_px)
    paint(image, (122, 122, 128), text_at(SIZE, (name_left, 33), name, SANS_BOLD, name_px))
    subtitle_left = CONTENT_RIGHT - text_width(subtitle, SANS, subtitle_px)
    paint(image, (168, 168, 174), text_at(SIZE, (subtitle_left, 46), subtitle, SANS, subtitle_px))
    icon_left = round(min(name_left, subtitle_left)) - icon.width - 8
    image.alpha_composite(icon, (icon_left, 14))


def background(icon):
    width, height = SIZE
    image = canvas(SIZE, WHITE)
    gradient = red_to_grey(SIZE)
    paint(image, gradient, box(SIZE, 0, 0, width, ACCENT_HEIGHT))
    paint(image, gradient, box(SIZE, 0, ACCENT_HEIGHT, width, ACCENT_HEIGHT + 1), 0.25)
    paint(image, vertical(SIZE, TRAY_TOP, TRAY_BOTTOM, TRAY),
          box(SIZE, 0, TRAY_TOP, width, TRAY_BOTTOM))
    paint(image, vertical(SIZE, FOOTER_TOP, height, FOOTER),
          box(SIZE, 0, FOOTER_TOP, width, height))
    brand(image, icon)
    image = image.convert("RGB")
    # No caption bar and no border: this line is the window's only edge on the desktop.
    ImageDraw.Draw(image).rectangle([0, ACCENT_HEIGHT, width - 1, height - 1], outline=FRAME)
    return image


def strip():
    """A 3-pixel line fading from the dialog's red into its grey, soft at both ends."""
    width = STRIP_SIZE[0]
    fade = [min(1.0, (x + 1) / 10, (width - x) / 80) for x in range(width)]
    alpha = [round(255 * opacity * f) for opacity in (0.30, 1.0, 0.30) for f in fade]
    image = canvas(STRIP_SIZE)
    paint(image, red_to_grey(STRIP_SIZE), from_rows(STRIP_SIZE, alpha))
    return image
