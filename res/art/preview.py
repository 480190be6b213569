"""Composite of the dialog for judging the artwork: the pictures at their
places, with rough stand-ins for the controls' own texts and frames."""
from PIL import Image, ImageDraw, ImageFont

from draw import SANS, SANS_BOLD
from places import CARD_PLACES, START_PLACE, STRIP_PLACES

RED, GREY, BLUE = (255, 0, 0), (140, 140, 140), (0, 0, 255)

# Caption texts as the dialog shows them: (x, y, height), text, colour, and whether it is
# one of the smaller labels drawn on white cells.
CAPTIONS = [
    ((40, 20, 25), "Disk Drive", RED, False), ((40, 50, 25), "Disk Size", GREY, False),
    ((170, 50, 25), "1.84 GByte", GREY, False), ((85, 87, 25), "SD", GREY, False),
    ((215, 87, 25), "MMC", GREY, False), ((335, 87, 25), "CF", GREY, False),
    ((40, 217, 25), "Format Label", RED, True), ((60, 248, 13), "Optimized Format", GREY, True),
    ((270, 248, 13), "Complete Format", GREY, True),
]


def controls(image, arrow, status):
    draw = ImageDraw.Draw(image)
    caption = ImageFont.truetype(SANS_BOLD, 15)
    label = ImageFont.truetype(SANS_BOLD, 13)
    for (x, y, height), words, colour, is_label in CAPTIONS:
        face = label if is_label else caption
        top = y + (height - 16) // 2
        if is_label:
            draw.rectangle(draw.textbbox((x, top), words, font=face), fill=(255, 255, 255))
        draw.text((x, top), words, font=face, fill=colour)
    # Drive list as its painter draws it: white field, grey outline, the arrow stretched.
    draw.rectangle([170, 22, 170 + 100 - 19, 20 + 24], fill=(255, 255, 255),
                   outline=(140, 140, 140))
    draw.text((175, 26), "E", font=ImageFont.truetype(SANS, 13), fill=(0, 0, 0))
    image.paste(arrow.resize((19, 22), Image.NEAREST), (170 + 100 - 19, 22))
    draw.rectangle([170, 217, 319, 241], fill=(255, 255, 255), outline=(122, 122, 122))
    draw.text((175, 222), "VELTRANE", font=ImageFont.truetype(SANS, 13), fill=(0, 0, 0))
    for x, y in ((70, 90), (200, 90), (320, 90)):
        draw.ellipse([x, y + 1, x + 12, y + 13], fill=(255, 255, 255), outline=(110, 110, 110))
    draw.ellipse([73, 94, 79, 100], fill=(30, 30, 30))
    for x in (40, 250):
        draw.rectangle([x, 250, x + 12, 262], fill=(255, 255, 255), outline=(110, 110, 110))
    for x0, x1 in ((60, 160), (190, 390)):
        draw.rectangle([x0, 295, x1 - 1, 319], outline=(160, 160, 160))
        draw.line([(x0, 295), (x1 - 1, 295)], fill=(100, 100, 100))
        draw.line([(x0, 295), (x0, 319)], fill=(100, 100, 100))
    if status:
        result = ImageFont.truetype(SANS_BOLD, 22)
        draw.text((110, 307), "Success", font=result, fill=BLUE, anchor="mm")
        draw.text((290, 307), "Please re-insert the card", font=caption, fill=RED, anchor="mm")
        draw.rectangle([60, 330, 389, 344], outline=(100, 100, 100))
        for x in range(61, 389):
            t = (x - 61) / 328
            band = tuple(round(a + (b - a) * t) for a, b in zip((255, 30, 60), (210, 210, 210)))
            draw.line([(x, 331), (x, 343)], fill=band)
        draw.text((225, 337), "100.00 %", font=ImageFont.truetype(SANS, 11), fill=(0, 0, 0),
                  anchor="mm")


def dialog(background, pictures, strip, start, arrow, lit, status):
    image = background.convert("RGBA")
    for name, place in CARD_PLACES.items():
        image.paste(pictures[name, "active" if name == lit else "plain"], place)
    for place in STRIP_PLACES:
        image.alpha_composite(strip, place)
    image.alpha_composite(start, START_PLACE)
    image = image.convert("RGB")
    controls(image, arrow, status)
    return image


def sheet(background, pictures, strip, starts, arrow):
    """Two dialogs side by side (working, idle), then the loose pictures enlarged."""
    busy = dialog(background, pictures, strip, starts["normal"], arrow, "sd", True)
    idle = dialog(background, pictures, strip, starts["inactive"], arrow, None, False)
    width, height = background.size
    out = Image.new("RGB", (width * 2 + 10, height + 10 + 170), (70, 70, 70))
    out.paste(busy, (0, 0))
    out.paste(idle, (width + 10, 0))
    x = 0
    for key in (("sd", "active"), ("sd", "plain"), ("mmc", "active"), ("mmc", "plain"),
                ("cf", "active"), ("cf", "plain")):
        picture = pictures[key].resize((pictures[key].width * 2, 160), Image.NEAREST)
        out.paste(picture, (x, height + 15))
        x += picture.width + 6
    return out


def loose(starts, arrow, icons):
    """Button faces on the footer colour, the arrow and the icons, all enlarged."""
    out = Image.new("RGB", (600, 300), (244, 244, 246))
    for i, form in enumerate(("normal", "hover", "pressed", "inactive")):
        face = Image.new("RGBA", starts[form].size, (244, 244, 246, 255))
        face.alpha_composite(starts[form])
        face = face.resize((face.width * 2, face.height * 2), Image.NEAREST)
        out.paste(face.convert("RGB"), (10 + (i % 2) * 260, 10 + (i // 2) * 90))
    out.paste(arrow.resize((arrow.width * 4, arrow.height * 4), Image.NEAREST), (530, 10))
    x = 10
    for icon in icons:
        tile = Image.new("RGBA", icon.size, (255, 255, 255, 255))
        tile.alpha_composite(icon)
        tile = tile.convert("RGB")
        out.paste(tile.resize((icon.width * 2, icon.height * 2), Image.NEAREST), (x, 190))
        x += icon.width * 2 + 10
        out.paste(tile, (x, 190))
        x += icon.width + 20
    return out
