#!/usr/bin/env python3
"""Builds the stored skins from skins.ini.

Each skin of skins.ini names a few choices (accent colour, base tint, light or
dark tone, pattern, corner radii); every colour of the skin description is
derived from them, and any description key may be set directly to override.
The description is the text the skinning library reads (see
skinlib/skin_description.h). Output: the records back to back, each a 32-bit 1,
a 32-bit length and the data ".SHE" 00 03, unpacked size, LZMA properties
5D 00 00 80 00 and the raw LZMA stream of 272 zero bytes + description.

usage: build_skins.py skins.ini stored_skins.bin
"""
import colorsys
import configparser
import lzma
import struct
import sys

PADDING = 272
DICTIONARY = 8 << 20
LC, LP, PB = 3, 0, 2
FILTERS = [{"id": lzma.FILTER_LZMA1, "preset": 9 | lzma.PRESET_EXTREME,
            "dict_size": DICTIONARY, "lc": LC, "lp": LP, "pb": PB}]
PROPERTIES = bytes([(PB * 5 + LP) * 9 + LC]) + struct.pack("<I", DICTIONARY)


class Colour:
    def __init__(self, r, g, b):
        self.rgb = tuple(min(255, max(0, round(v))) for v in (r, g, b))

    @staticmethod
    def parse(text):
        text = text.strip()
        if len(text) != 7 or text[0] != "#":
            raise ValueError(f"not a colour: {text!r}")
        return Colour(*(int(text[i:i + 2], 16) for i in (1, 3, 5)))

    @staticmethod
    def hls(h, l, s):
        return Colour(*(v * 255 for v in colorsys.hls_to_rgb(h, min(1, max(0, l)), min(1, max(0, s)))))

    def parts(self):
        return colorsys.rgb_to_hls(*(v / 255 for v in self.rgb))

    def mix(self, other, weight):
        """other over self with weight 0..1"""
        return Colour(*(a + (b - a) * weight for a, b in zip(self.rgb, other.rgb)))

    def lightness(self, l, saturation=None):
        h, _, s = self.parts()
        return Colour.hls(h, l, s if saturation is None else saturation)

    def luminance(self):
        r, g, b = (v / 255 for v in self.rgb)
        return 0.2126 * r + 0.7152 * g + 0.0722 * b

    def __str__(self):
        return "#%02x%02x%02x" % self.rgb


WHITE = Colour(255, 255, 255)
BLACK = Colour(0, 0, 0)


def look(top, bottom, border, text=None):
    return {"top": top, "bottom": bottom, "border": border, **({"text": text} if text else {})}


def light_skin(accent, base):
    h, _, s = base.parts()
    window_top = base.lightness(0.965)
    panel_border = base.lightness(0.70, s * 0.55)
    text = Colour.hls(h, 0.17, s * 0.55)
    accent_h, accent_l, accent_s = accent.parts()
    on_accent = WHITE if accent.luminance() < 0.62 else Colour.hls(accent_h, 0.15, accent_s)
    grey = base.lightness(0.9, s * 0.12)
    return {
        "window.top": window_top, "window.bottom": base,
        "label.text": text,
        "transparent.text": Colour.hls(accent_h, min(accent_l, 0.32), accent_s * 0.75),
        "panel": look(WHITE.mix(window_top, 0.2), WHITE.mix(base, 0.35), panel_border),
        "caption": look(accent.mix(WHITE, 0.18), accent, accent.mix(BLACK, 0.12), on_accent),
        "button.normal": look(WHITE.mix(base, 0.08), WHITE.mix(base, 0.6), base.lightness(0.6, s * 0.5), text),
        "button.hot": look(WHITE.mix(accent, 0.07), WHITE.mix(accent, 0.3), accent.mix(WHITE, 0.2), text),
        "button.pressed": look(WHITE.mix(accent, 0.42), WHITE.mix(accent, 0.22), accent.mix(BLACK, 0.1),
                               Colour.hls(accent_h, 0.16, accent_s * 0.8)),
        "button.disabled": look(WHITE.mix(grey, 0.3), grey, grey.mix(BLACK, 0.18), grey.mix(BLACK, 0.38)),
        "focus": accent,
        "header.normal": look(WHITE.mix(base, 0.05), WHITE.mix(base, 0.5), base.lightness(0.76, s * 0.5), text),
        "header.hot": look(WHITE.mix(accent, 0.05), WHITE.mix(accent, 0.24), base.lightness(0.72, s * 0.5), text),
        "header.pressed": look(WHITE.mix(accent, 0.34), WHITE.mix(accent, 0.16), base.lightness(0.68, s * 0.5), text),
        "tab.normal": look(WHITE.mix(base, 0.3), WHITE.mix(base, 0.75), panel_border, text),
        "tab.hot": look(WHITE.mix(accent, 0.08), WHITE.mix(accent, 0.25), panel_border, text),
        "tab.selected": look(WHITE, WHITE.mix(window_top, 0.2), panel_border,
                             Colour.hls(accent_h, min(accent_l, 0.3), accent_s)),
        "frame": panel_border,
    }


def dark_skin(accent, base):
    h, _, s = base.parts()
    shade = lambda l, k=1.0: base.lightness(l, s * k)
    text = shade(0.92, 0.2)
    accent_h, accent_l, accent_s = accent.parts()
    on_accent = WHITE if accent.luminance() < 0.62 else Colour.hls(accent_h, 0.12, accent_s)
    return {
        "window.top": shade(0.25), "window.bottom": shade(0.15),
        "label.text": text,
        "transparent.text": Colour.hls(accent_h, max(accent_l, 0.72), accent_s * 0.9),
        "panel": look(shade(0.29), shade(0.22), shade(0.40)),
        "caption": look(accent.mix(WHITE, 0.12), accent.mix(BLACK, 0.1), accent.mix(BLACK, 0.3), on_accent),
        "button.normal": look(shade(0.40), shade(0.30), shade(0.50), text),
        "button.hot": look(shade(0.42).mix(accent, 0.35), shade(0.32).mix(accent, 0.3), accent.mix(WHITE, 0.1), WHITE),
        "button.pressed": look(shade(0.22).mix(accent, 0.45), shade(0.30).mix(accent, 0.35), accent, WHITE),
        "button.disabled": look(shade(0.30, 0.3), shade(0.26, 0.3), shade(0.36, 0.3), shade(0.52, 0.2)),
        "focus": accent.mix(WHITE, 0.2),
        "header.normal": look(shade(0.38), shade(0.30), shade(0.46), text),
        "header.hot": look(shade(0.40).mix(accent, 0.3), shade(0.32).mix(accent, 0.25), shade(0.50), WHITE),
        "header.pressed": look(shade(0.25).mix(accent, 0.4), shade(0.32).mix(accent, 0.3), shade(0.50), WHITE),
        "tab.normal": look(shade(0.30), shade(0.24), shade(0.40), shade(0.78, 0.2)),
        "tab.hot": look(shade(0.34).mix(accent, 0.25), shade(0.27).mix(accent, 0.2), shade(0.42), text),
        "tab.selected": look(shade(0.33), shade(0.29), shade(0.40), accent.mix(WHITE, 0.45)),
        "frame": shade(0.40),
    }


def description(section):
    accent = Colour.parse(section["accent"])
    base = Colour.parse(section["base"])
    dark = section.get("tone", "light") == "dark"
    values = (dark_skin if dark else light_skin)(accent, base)

    keys = {}
    for name, value in values.items():
        if isinstance(value, dict):
            for role, colour in value.items():
                keys[f"{name}.{role}"] = str(colour)
        else:
            keys[name] = str(value)

    kind, spacing, alpha, *colour = (section.get("pattern", "none 8 0").split() + ["#ffffff"])[:4]
    keys.update({"pattern.kind": kind, "pattern.spacing": spacing, "pattern.alpha": alpha,
                 "pattern.colour": colour[0]})
    panel_radius, button_radius = section.get("radius", "6 4").split()
    keys.update({"panel.radius": panel_radius, "button.radius": button_radius})

    for name, value in section.items():  # direct overrides of description keys
        if "." in name or name in ("focus", "frame"):
            keys[name] = value.split(";")[0].strip()

    lines = ["vantoip-skin 1"] + [f"{k} {v}" for k, v in keys.items()]
    return ("\n".join(lines) + "\n").encode("ascii")


def record(section):
    unpacked = bytes(PADDING) + description(section)
    stream = lzma.compress(unpacked, format=lzma.FORMAT_RAW, filters=FILTERS)
    data = b".SHE\x00\x03" + struct.pack("<I", len(unpacked)) + PROPERTIES + stream
    return struct.pack("<II", 1, len(data)) + data


def main(definitions, output):
    config = configparser.ConfigParser(inline_comment_prefixes=(";",))
    config.read(definitions, encoding="utf-8")
    numbers = sorted(int(n) for n in config.sections())
    if numbers != list(range(1, 34)):
        sys.exit(f"{definitions}: skins must be numbered 1 to 33, found {numbers}")
    with open(output, "wb") as out:
        for n in numbers:
            out.write(record(config[str(n)]))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
