#!/usr/bin/python3
"""Draws every picture of the Veltrane dialog into res/images/.

    /usr/bin/python3 res/art/make_images.py [--preview FILE.png]

Needs Pillow (Debian: python3-pil) and the Liberation fonts (fonts-liberation).
The output is the same on every run. --preview also writes a composite of the
dialog (the pictures at their places, rough stand-ins for the controls) and,
beside it as FILE-parts.png, the button faces, arrow and icons enlarged.
"""
import argparse
import os

import buttons
import cards
import preview
import skin
from image_files import write_bmp, write_ico, write_png
from places import CARD_PLACES, QUIT_PLACE

IMAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "images")

ICON_SIDES = (16, 32, 48)
BRAND_ICON_SIDE = 32


def piece(background, place, size):
    x, y = place
    return background.crop((x, y, x + size[0], y + size[1]))


def card_pictures(background):
    pictures = {}
    for name, layer in cards.card_layers().items():
        under = piece(background, CARD_PLACES[name], layer.size)
        pictures[name, "plain"] = cards.on_background(under, layer, lit=False)
        pictures[name, "active"] = cards.on_background(under, layer, lit=True)
    return pictures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", help="also write a composite of the dialog to this PNG")
    args = parser.parse_args()
    os.makedirs(IMAGES, exist_ok=True)

    def out(name):
        return os.path.join(IMAGES, name)

    icons = [cards.icon(side) for side in ICON_SIDES]
    write_ico(icons, out("veltrane.ico"))
    background = skin.background(cards.icon(BRAND_ICON_SIDE))
    write_bmp(background, out("background.bmp"))
    pictures = card_pictures(background)
    for (name, form), picture in pictures.items():
        write_bmp(picture, out(f"card_{name}_{form}.bmp"))
    strip = skin.strip()
    write_png(strip, out("strip.png"))
    starts = buttons.start_faces()
    for form, face in starts.items():
        write_png(face, out(f"start_{form}.png"))
    for form, face in buttons.quit_faces(piece(background, QUIT_PLACE, buttons.QUIT_SIZE)).items():
        write_bmp(face, out(f"quit_{form}.bmp"))
    arrow = buttons.combo_arrow()
    write_bmp(arrow, out("combo_arrow.bmp"))

    if args.preview:
        preview.sheet(background, pictures, strip, starts, arrow).save(args.preview)
        preview.loose(starts, arrow, icons).save(args.preview.replace(".png", "-parts.png"))


if __name__ == "__main__":
    main()
