#!/usr/bin/python3
"""Makes the panel's font: a subset of one face of a font holding only the
characters the window shows, under a family name of its own.

    subset_font.py text OUTPUT SOURCE...
        writes the printable ASCII characters and every other character that
        the sources (UTF-8) contain
    subset_font.py subset FONT FACE_INDEX CHARS_FILE FAMILY OUTPUT
        writes the subset holding the characters of CHARS_FILE

Outlines, metrics, kerning and the OS/2 and head fields a renderer reads are
kept as they are, so that every kept character renders as it does with the
whole font.
"""
import sys


def write_text(output, *sources):
    chars = {chr(c) for c in range(0x20, 0x7F)}
    for source in sources:
        with open(source, encoding="utf-8") as f:
            chars.update(c for c in f.read() if ord(c) > 0x7F)
    with open(output, "w", encoding="utf-8") as f:
        f.write("".join(sorted(chars)))


def write_subset(font_path, face_index, chars_path, family, output):
    from fontTools import subset

    options = subset.Options()
    options.font_number = int(face_index)
    options.layout_features = ["*"]
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.notdef_outline = True
    options.prune_unicode_ranges = False
    options.recalc_bounds = False
    options.recalc_timestamp = False
    options.drop_tables += ["FFTM"]  # the font editor's timestamps
    font = subset.load_font(font_path, options, lazy=False)
    with open(chars_path, encoding="utf-8") as chars:
        text = chars.read()
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=text)
    subsetter.subset(font)

    names = font["name"]
    names.names = [n for n in names.names if n.nameID not in (1, 3, 4, 6, 16, 17, 18, 21, 22)]
    for name_id, value in ((1, family), (2, "Regular"), (3, family), (4, family),
                           (6, family.replace(" ", ""))):
        names.setName(value, name_id, 3, 1, 0x409)
        names.setName(value, name_id, 1, 0, 0)
    subset.save_font(font, output, options)


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "text":
        write_text(*sys.argv[2:])
    elif len(sys.argv) == 7 and sys.argv[1] == "subset":
        write_subset(*sys.argv[2:])
    else:
        sys.exit(__doc__)
