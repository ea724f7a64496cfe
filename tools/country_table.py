#!/usr/bin/env python3
"""Builds the program's IPv4 country table from an ip-location-db country CSV
("first,last,CC" with addresses as numbers or dotted), CLDR's Simplified
Chinese territory names and the English names lists use (i18n-iso-countries'
langs/zh.json and langs/en.json).

The table, before compression (all numbers little-endian):
  "VCT2"; u32 range count N; u16 country count C;
  C times: two code letters, u8 name length, the name in GBK, u8 English name
  count, each English name as u8 length and UTF-8;
  N u32 range starts, ascending, the first 0; N u8 country indexes (255: none);
  u32 FNV-1a of everything before it.
A row inside another holds over it; adjacent ranges of one country are merged;
gaps become ranges of none. The file written is that table compressed as an
.lzma ("alone") stream.

usage: country_table.py build <csv> <zh.json> <en.json> <out.lzma>
       country_table.py check <csv> <out.lzma> [samples]   (random addresses, table against CSV)
       country_table.py test <csv> <zh.json> <en.json>   (build into a temporary file, then check)
"""
import json
import lzma
import random
import struct
import sys

NONE = 255


def address(text):
    text = text.strip()
    if text.isdigit():
        return int(text)
    a, b, c, d = (int(p) for p in text.split("."))
    return a << 24 | b << 16 | c << 8 | d


def read_ranges(csv_path):
    ranges = []
    with open(csv_path, encoding="ascii") as f:
        for line in f:
            parts = line.strip().split(",")
            if len(parts) < 3 or not parts[2]:
                continue
            first, last = address(parts[0]), address(parts[1])
            if ":" in parts[0] or last < first or last > 0xFFFFFFFF:
                continue
            ranges.append((first, last, parts[2].strip().upper()))
    ranges.sort()
    return ranges


def fnv1a(data):
    h = 0x811C9DC5
    for b in data:
        h = ((h ^ b) * 0x01000193) & 0xFFFFFFFF
    return h


def build_table(ranges, names, english):
    codes = sorted({cc for _, _, cc in ranges})
    if len(codes) >= NONE:
        raise SystemExit("too many countries")
    index = {cc: i for i, cc in enumerate(codes)}
    starts, countries = [], []

    def add(start, country):
        if countries and countries[-1] == country:
            return  # merged with the range before
        starts.append(start)
        countries.append(country)

    # A range inside another (a block given to another country) holds over it.
    stack = []  # (last, country) of the ranges open at `position`, innermost last
    position = 0

    def fill_until(limit):
        nonlocal position
        while position < limit:
            while stack and stack[-1][0] < position:
                stack.pop()
            end = limit if not stack else min(stack[-1][0] + 1, limit)
            add(position, stack[-1][1] if stack else NONE)
            position = end

    for first, last, cc in sorted(ranges, key=lambda r: (r[0], -r[1])):
        fill_until(first)
        stack.append((last, index[cc]))
    fill_until(1 << 32)

    out = bytearray(b"VCT2")
    out += struct.pack("<IH", len(starts), len(codes))
    for cc in codes:
        name = names.get(cc, cc)
        try:
            encoded = name.encode("gbk")
        except UnicodeEncodeError:
            encoded = cc.encode("ascii")
        out += cc.encode("ascii") + struct.pack("<B", len(encoded)) + encoded
        aliases = [a.encode("utf-8") for a in english.get(cc, [])][:255]
        out += struct.pack("<B", len(aliases))
        for alias in aliases:
            out += struct.pack("<B", len(alias)) + alias
    out += struct.pack("<%dI" % len(starts), *starts)
    out += bytes(countries)
    out += struct.pack("<I", fnv1a(out))
    return bytes(out)


def parse_table(data):
    """(starts, country indexes, codes) of a table's bytes."""
    if data[:4] != b"VCT2" or struct.unpack("<I", data[-4:])[0] != fnv1a(data[:-4]):
        raise ValueError("not a country table")
    n, c = struct.unpack_from("<IH", data, 4)
    at, codes = 10, []
    for _ in range(c):
        codes.append(data[at:at + 2].decode("ascii"))
        at += 3 + data[at + 2]
        for _ in range(data[at]):
            at += 1 + data[at + 1]
        at += 1
    starts = struct.unpack_from("<%dI" % n, data, at)
    countries = data[at + 4 * n:at + 5 * n]
    return starts, countries, codes


def lookup(table, value):
    import bisect
    starts, countries, codes = table
    i = bisect.bisect_right(starts, value) - 1
    return None if countries[i] == NONE else codes[countries[i]]


def expected_countries(ranges, probes):
    """Each probe's country by the smallest row holding it, found apart from build_table."""
    import heapq
    answers = {}
    rows = sorted(ranges)
    active = []  # (size, last, cc)
    at = 0
    for value in sorted(set(probes)):
        while at < len(rows) and rows[at][0] <= value:
            first, last, cc = rows[at]
            heapq.heappush(active, (last - first, last, cc))
            at += 1
        holding = [entry for entry in active if entry[1] >= value]
        active = holding
        heapq.heapify(active)
        answers[value] = active[0][2] if active else None
    return answers


def check(csv_path, table_path, samples):
    ranges = read_ranges(csv_path)
    table = parse_table(lzma.decompress(open(table_path, "rb").read(), format=lzma.FORMAT_ALONE))
    rng = random.Random(20261208)
    probes = [rng.randrange(0, 1 << 32) for _ in range(samples)]
    for first, last, _ in ranges[:: max(1, len(ranges) // 1000)]:
        probes += [first, last, max(0, first - 1), min(0xFFFFFFFF, last + 1)]
    probes += [0, 0xFFFFFFFF]
    expected = expected_countries(ranges, probes)
    wrong = sum(1 for value in probes if lookup(table, value) != expected[value])
    print("%d addresses checked, %d wrong" % (len(probes), wrong))
    return 1 if wrong else 0


def main(argv):
    if len(argv) == 6 and argv[1] == "build":
        with open(argv[3], encoding="utf-8") as f:
            names = json.load(f)["countries"]
        names = {cc: (n[0] if isinstance(n, list) else n) for cc, n in names.items()}
        with open(argv[4], encoding="utf-8") as f:
            english = json.load(f)["countries"]
        english = {cc: (n if isinstance(n, list) else [n]) for cc, n in english.items()}
        table = build_table(read_ranges(argv[2]), names, english)
        packed = lzma.compress(table, format=lzma.FORMAT_ALONE, preset=9 | lzma.PRESET_EXTREME)
        with open(argv[5], "wb") as f:
            f.write(packed)
        print("%d bytes, %d compressed" % (len(table), len(packed)))
        return 0
    if len(argv) == 5 and argv[1] == "test":
        import os
        import tempfile
        with tempfile.TemporaryDirectory() as folder:
            out = os.path.join(folder, "table.lzma")
            return main([argv[0], "build", argv[2], argv[3], argv[4], out]) or main([argv[0], "check", argv[2], out])
    if len(argv) in (4, 5) and argv[1] == "check":
        return check(argv[2], argv[3], int(argv[4]) if len(argv) == 5 else 100000)
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
