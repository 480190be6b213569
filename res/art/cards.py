"""Card pictures (SD, MMC, CF), each lit and dimmed, and the application icon.

The pictures are painted over the piece of the dialog background they are
shown on, so they need no transparency.
"""
from draw import (RED, WHITE, blurred, box, canvas, ellipse, multiply, paint, polygon, rounded,
                  shifted, subtract, vertical)

BODY = [(0.0, (84, 87, 96)), (1.0, (40, 42, 48))]
BODY_EDGE = (22, 23, 27)
LABEL = [(0.0, (255, 78, 100)), (1.0, (214, 14, 44))]
GOLD = [(0.0, (250, 214, 120)), (1.0, (190, 140, 48))]
CONNECTOR = [(0.0, (132, 135, 144)), (1.0, (96, 99, 108))]
HOLE = (24, 25, 29)


def cut_card(size, x0, y0, x1, y1, cut, radius):
    """Card outline with the top-right corner cut off at 45 degrees."""
    body = rounded(size, x0, y0, x1, y1, radius)
    corner = polygon(size, [(x1 - cut, y0 - 2), (x1 + 2, y0 - 2), (x1 + 2, y0 + cut)])
    return subtract(body, corner)


def framed(layer, outline, inner, top, bottom):
    """Dark rim of one pixel, the body gradient inside it."""
    size = layer.size
    paint(layer, BODY_EDGE, outline)
    paint(layer, vertical(size, top, bottom, BODY), inner)


def contacts(layer, within, x0, x1, y0, y1, count):
    """A row of gold pads, kept inside the card's outline."""
    size = layer.size
    pitch = (x1 - x0) / count
    pads = canvas(size)
    for i in range(count):
        left = x0 + i * pitch + pitch * 0.16
        paint(pads, WHITE, rounded(size, left, y0, left + pitch * 0.68, y1, 0.6))
    paint(layer, vertical(size, y0, y1, GOLD), multiply(pads.getchannel("A"), within))


def label(layer, x0, y0, x1, y1, lines):
    """Red label with a few white bars where a maker would print its name."""
    size = layer.size
    paint(layer, vertical(size, y0, y1, LABEL), rounded(size, x0, y0, x1, y1, 2))
    paint(layer, WHITE, box(size, x0, y0, x1, y0 + 1), 0.35)
    bar_top = y0 + (y1 - y0) * 0.3
    for i, share in enumerate(lines):
        top = bar_top + i * 5
        right = x0 + 4 + (x1 - x0 - 8) * share
        opacity = 0.85 if i == 0 else 0.55
        paint(layer, WHITE, rounded(size, x0 + 4, top, right, top + 2.2, 1), opacity)


def gloss(layer, within, x0, y0, x1, y1):
    size = layer.size
    sheen = polygon(size, [(x0, y0), (x1, y0), (x0, y0 + (y1 - y0) * 0.55)])
    paint(layer, WHITE, multiply(sheen, within), 0.10)


def sd_card(size, x0, y0, x1, y1, pads=8, details=True):
    """Cut corner, contacts along the top, switch on the left; details off for tiny icons."""
    layer = canvas(size)
    width = x1 - x0
    cut = width * 0.22
    outline = cut_card(size, x0, y0, x1, y1, cut, 3)
    inner = cut_card(size, x0 + 1, y0 + 1, x1 - 1, y1 - 1, cut - 0.4, 2)
    notch_top, notch_bottom = y0 + (y1 - y0) * 0.42, y0 + (y1 - y0) * 0.58
    if details:
        # Write-protect switch: a notch in the left edge with its slider.
        outline = subtract(outline, box(size, x0 - 1, notch_top, x0 + 2, notch_bottom))
        inner = subtract(inner, box(size, x0 - 1, notch_top - 1, x0 + 3, notch_bottom + 1))
    framed(layer, outline, inner, y0, y1)
    if details:
        paint(layer, (196, 198, 204), rounded(size, x0 - 0.5, notch_top + 1, x0 + 2.5,
                                              notch_top + (notch_bottom - notch_top) * 0.5, 0.8))
    pad_height = (y1 - y0) * 0.16
    contacts(layer, inner, x0 + width * 0.07, x1 - cut - width * 0.02, y0 + 2.5,
             y0 + 2.5 + pad_height, pads)
    label(layer, x0 + width * 0.12, y0 + (y1 - y0) * 0.38, x1 - width * 0.1, y1 - width * 0.1,
          [0.8, 0.5] if details else [])
    gloss(layer, inner, x0, y0, x1, y1)
    return layer


def mmc_card(size, x0, y0, x1, y1):
    """Same corner cut as SD, no switch, seven wider contacts, a slimmer label."""
    layer = canvas(size)
    width = x1 - x0
    cut = width * 0.2
    outline = cut_card(size, x0, y0, x1, y1, cut, 2.5)
    inner = cut_card(size, x0 + 1, y0 + 1, x1 - 1, y1 - 1, cut - 0.4, 1.5)
    framed(layer, outline, inner, y0, y1)
    contacts(layer, inner, x0 + width * 0.06, x1 - cut - width * 0.01, y0 + 2.5,
             y0 + 2.5 + (y1 - y0) * 0.17, 7)
    # A ribbed grip across the middle tells it apart from SD at a glance.
    for i in range(3):
        top = y0 + (y1 - y0) * 0.34 + i * 3
        paint(layer, (20, 21, 25), box(size, x0 + 5, top, x1 - 5, top + 1), 0.8)
        paint(layer, WHITE, box(size, x0 + 5, top + 1, x1 - 5, top + 2), 0.12)
    label(layer, x0 + 4, y0 + (y1 - y0) * 0.52, x1 - 4, y1 - 4, [0.7, 0.45])
    gloss(layer, inner, x0, y0, x1, y1)
    return layer


def cf_card(size, x0, y0, x1, y1):
    """Wide card: a connector edge with two rows of pin holes, guide grooves on the sides."""
    layer = canvas(size)
    outline = rounded(size, x0, y0, x1, y1, 3)
    inner = rounded(size, x0 + 1, y0 + 1, x1 - 1, y1 - 1, 2)
    framed(layer, outline, inner, y0, y1)
    band_bottom = y0 + 10
    paint(layer, vertical(size, y0, band_bottom, CONNECTOR),
          multiply(inner, box(size, x0, y0, x1, band_bottom)))
    paint(layer, BODY_EDGE, box(size, x0 + 1, band_bottom, x1 - 1, band_bottom + 1), 0.7)
    for left in (x0 + 2, x1 - 3):
        paint(layer, BODY_EDGE, box(size, left, band_bottom + 1, left + 1, y1 - 3), 0.6)
    holes = 20
    pitch = (x1 - x0 - 10) / holes
    for top in (y0 + 2.6, y0 + 6.0):
        for i in range(holes):
            left = x0 + 5 + i * pitch + pitch * 0.2
            paint(layer, HOLE, ellipse(size, left, top, left + 1.7, top + 1.7))
    label(layer, x0 + 6, y0 + 16, x1 - 6, y1 - 6, [0.55, 0.35, 0.45])
    gloss(layer, inner, x0, y0, x1, y1)
    return layer


def dimmed(layer):
    """Plain form: the card in pale greys, so the lit one stands out."""
    pale = layer.convert("RGB").convert("L").point(lambda v: 178 + v * 27 // 100).convert("RGBA")
    pale.putalpha(layer.getchannel("A"))
    return pale


def shadow_of(layer, strength):
    """Soft shadow falling down and a little right, tinted toward the dialog's red."""
    alpha = shifted(blurred(layer.getchannel("A"), 2.2), 1, 3)
    shade = canvas(layer.size)
    paint(shade, (60, 20, 30), alpha, strength)
    return shade


def glow_of(layer):
    """Red halo that marks the card of the selected type when a card is present."""
    halo = canvas(layer.size)
    spread = blurred(layer.getchannel("A"), 3.5)
    paint(halo, RED, spread.point(lambda v: min(255, v * 2)), 0.55)
    return halo


def on_background(background, layer, lit):
    """The card over the piece of dialog background it is shown on."""
    picture = background.convert("RGBA")
    if lit:
        picture.alpha_composite(glow_of(layer))
        picture.alpha_composite(shadow_of(layer, 0.45))
        picture.alpha_composite(layer)
    else:
        picture.alpha_composite(shadow_of(layer, 0.18))
        picture.alpha_composite(dimmed(layer))
    return picture.convert("RGB")


SD_SIZE = (64, 80)
MMC_SIZE = (64, 80)
CF_SIZE = (89, 80)


def card_layers():
    """The three cards, each on a transparent layer of its picture's size."""
    return {
        "sd": sd_card(SD_SIZE, 10, 6, 54, 66),
        "mmc": mmc_card(MMC_SIZE, 13, 7, 51, 65),
        "cf": cf_card(CF_SIZE, 8, 10, 81, 66),
    }


def icon(side):
    """Application icon at one size: the lit SD card, large in its square."""
    size = (side, side)
    width = side * 0.66
    x0 = (side - width) / 2
    x1 = x0 + width
    y0, y1 = side * 0.06, side * 0.94
    card = sd_card(size, x0, y0, x1, y1, pads=4 if side < 24 else 6, details=side >= 32)
    picture = canvas(size)
    if side >= 32:
        picture.alpha_composite(shadow_of(card, 0.35))
    picture.alpha_composite(card)
    return picture

