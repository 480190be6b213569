"""Where the dialog shows each picture, in client pixels (x, y of the top-left corner)."""
CARD_PLACES = {"sd": (70, 115), "mmc": (200, 115), "cf": (320, 115)}
STRIP_PLACES = [(20, 80), (20, 200), (20, 280)]
START_PLACE = (318, 355)
# The Quit control never shows; its template place (6, 189 dialog units) comes
# to about this in pixels, in the footer.
QUIT_PLACE = (10, 354)
