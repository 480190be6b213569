"""Start button faces (124 x 39, with alpha), hidden Quit button (118 x 35) and
the drive list's arrow (17 x 20)."""
from PIL import ImageDraw

from draw import (SANS_BOLD, WHITE, blurred, box, canvas, multiply, paint, polygon, rounded,
                  shifted, subtract, text, vertical)

START_SIZE = (124, 39)
QUIT_SIZE = (118, 35)
ARROW_SIZE = (17, 20)

RADIUS = 8

# Each face: rim colour, body gradient, text colour, text shadow, gloss strength.
START_FACES = {
    "normal": ((178, 12, 40), [(0.0, (255, 92, 116)), (0.5, (240, 36, 66)), (1.0, (206, 14, 44))],
               WHITE, (140, 0, 24), 0.20),
    "hover": ((192, 20, 50), [(0.0, (255, 124, 142)), (0.5, (255, 60, 88)), (1.0, (226, 26, 56))],
              WHITE, (150, 0, 28), 0.26),
    "pressed": ((150, 8, 32), [(0.0, (186, 12, 40)), (0.4, (212, 20, 50)), (1.0, (232, 40, 68))],
                (255, 232, 236), (110, 0, 20), 0.0),
    "inactive": ((206, 206, 210), [(0.0, (244, 244, 246)), (1.0, (226, 226, 230))],
                 (176, 176, 182), None, 0.0),
}


def face(size, left, top, right, bottom, rim, body, words_colour, words_shadow, gloss,
         words, words_px, shadow=True, radius=RADIUS):
    """A rounded button face on a transparent layer."""
    image = canvas(size)
    outline = rounded(size, left, top, right, bottom, radius)
    if shadow:
        paint(image, (0, 0, 0), subtract(shifted(blurred(outline, 0.8), 0, 1), outline), 0.30)
    inner = rounded(size, left + 1, top + 1, right - 1, bottom - 1, radius - 1)
    paint(image, rim, outline)
    paint(image, vertical(size, top, bottom, body), inner)
    if gloss:
        upper = rounded(size, left + 2, top + 2, right - 2, top + (bottom - top) * 0.5, radius - 2)
        sheen = canvas(size)
        paint(sheen, WHITE, upper)
        faded = vertical(size, top, (top + bottom) / 2, [(0.0, (255,) * 3), (1.0, (60,) * 3)])
        paint(image, WHITE, multiply(sheen.getchannel("A"), faded.convert("L")), gloss)
    else:
        # Pressed and inactive faces: a thin inner shade along the top edge instead.
        paint(image, (0, 0, 0), multiply(inner, box(size, left, top + 1, right, top + 3)), 0.08)
    centre = ((left + right) / 2, (top + bottom) / 2)
    if words_shadow is not None:
        paint(image, words_shadow, text(size, (centre[0], centre[1] + 1), words, SANS_BOLD,
                                        words_px), 0.55)
    paint(image, words_colour, text(size, centre, words, SANS_BOLD, words_px))
    return image


def start_faces():
    width, height = START_SIZE
    faces = {}
    for name, (rim, body, words, words_shadow, gloss) in START_FACES.items():
        if name == "pressed":
            # The button draws this face one pixel up and left; painting it one
            # pixel down and right keeps it in place. No drop shadow: it looks pushed in.
            faces[name] = face(START_SIZE, 1, 1, width, height, rim, body, words, words_shadow,
                               gloss, "Start", 17, shadow=False)
        else:
            faces[name] = face(START_SIZE, 0, 0, width, height - 1, rim, body, words,
                               words_shadow, gloss, "Start", 17)
    return faces


QUIT_FACES = {
    "normal": ((130, 130, 136), [(0.0, (250, 250, 252)), (1.0, (214, 214, 220))],
               (90, 90, 96), None, 0.0),
    "disabled": ((200, 200, 204), [(0.0, (246, 246, 248)), (1.0, (232, 232, 236))],
                 (186, 186, 190), None, 0.0),
    "pressed": ((110, 110, 116), [(0.0, (204, 204, 210)), (1.0, (232, 232, 236))],
                (70, 70, 76), None, 0.0),
}


def quit_faces(behind):
    """Opaque faces over the piece of background behind them (bitmap buttons have no alpha)."""
    width, height = QUIT_SIZE
    faces = {}
    for name, (rim, body, words, words_shadow, gloss) in QUIT_FACES.items():
        image = behind.convert("RGBA")
        image.alpha_composite(face(QUIT_SIZE, 0, 0, width, height - 1, rim, body, words,
                                   words_shadow, gloss, "Quit", 15, radius=6))
        faces[name] = image.convert("RGB")
    return faces


EDGE = (112, 112, 112)


def combo_arrow():
    """Red glossy square with a white arrow; grey edge on top, right and bottom.

    The list stretches it to 19 x 22 without smoothing and draws its own grey
    line over the leftmost column.
    """
    width, height = ARROW_SIZE
    image = canvas(ARROW_SIZE)
    paint(image, vertical(ARROW_SIZE, 1, height - 1,
                          [(0.0, (255, 104, 124)), (0.5, (244, 40, 70)), (1.0, (204, 14, 44))]),
          box(ARROW_SIZE, 0, 0, width, height))
    paint(image, WHITE, box(ARROW_SIZE, 0, 1, width - 1, 9), 0.16)
    arrow = polygon(ARROW_SIZE, [(3.5, 8), (12.5, 8), (8, 13)])
    paint(image, (150, 0, 24), shifted(arrow, 0, 1), 0.45)
    paint(image, WHITE, arrow)
    image = image.convert("RGB")
    draw = ImageDraw.Draw(image)
    draw.line([(0, 0), (width - 1, 0)], fill=EDGE)
    draw.line([(width - 1, 0), (width - 1, height - 1)], fill=EDGE)
    draw.line([(0, height - 1), (width - 1, height - 1)], fill=EDGE)
    return image
