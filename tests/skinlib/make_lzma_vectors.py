#!/usr/bin/env python3
"""Makes LZMA test streams with liblzma (Python's lzma module, xz, and liblzma's
LZMA1EXT encoder for streams without an end marker).

Every case is <name>.bin (the original bytes) and <name>.lzma: five property
bytes, the unpacked size as 64 bits (all ones: unknown) and the raw stream,
the layout of .lzma files. manifest.txt lists the names.

usage: make_lzma_vectors.py output-directory
"""
import ctypes
import ctypes.util
import lzma
import os
import random
import struct
import subprocess
import sys

UNKNOWN_SIZE = 0xFFFFFFFFFFFFFFFF
FILTER_LZMA1EXT = 0x4000000000000002
VLI_UNKNOWN = UNKNOWN_SIZE


def data_sets():
    rng = random.Random(20240611)
    words = ["proxy", "server", "port", "list", "delay", "skin", "window", "button",
             "label", "header", "代理", "switch", "on", "off", "the", "a"]
    text = lambda n: " ".join(rng.choice(words) for _ in range(n)).encode("utf-8")
    sets = {
        "empty": b"",
        "one": b"x",
        "random100": rng.randbytes(100),
        "random5000": rng.randbytes(5000),
        "random70000": rng.randbytes(70000),
        "text1000": text(200)[:1000],
        "text200000": text(40000)[:200000],
        "zeros300000": bytes(300000),
    }
    mixed = bytearray()
    while len(mixed) < 60000:
        mixed += text(rng.randint(5, 80)) + rng.randbytes(rng.randint(1, 300))
    sets["mixed60000"] = bytes(mixed[:60000])
    return sets


def properties(lc, lp, pb, dictionary):
    return bytes([(pb * 5 + lp) * 9 + lc]) + struct.pack("<I", dictionary)


def with_marker(data, lc=3, lp=0, pb=2, dictionary=8 << 20):
    filters = [{"id": lzma.FILTER_LZMA1, "preset": 6, "dict_size": dictionary, "lc": lc, "lp": lp, "pb": pb}]
    return lzma.compress(data, format=lzma.FORMAT_RAW, filters=filters)


class LzmaOptions(ctypes.Structure):
    _fields_ = [("dict_size", ctypes.c_uint32), ("preset_dict", ctypes.c_void_p),
                ("preset_dict_size", ctypes.c_uint32), ("lc", ctypes.c_uint32), ("lp", ctypes.c_uint32),
                ("pb", ctypes.c_uint32), ("mode", ctypes.c_int), ("nice_len", ctypes.c_uint32),
                ("mf", ctypes.c_int), ("depth", ctypes.c_uint32), ("ext_flags", ctypes.c_uint32),
                ("ext_size_low", ctypes.c_uint32), ("ext_size_high", ctypes.c_uint32)]
    _fields_ += [(f"reserved_int{i}", ctypes.c_uint32) for i in range(4, 9)]
    _fields_ += [(f"reserved_enum{i}", ctypes.c_int) for i in range(1, 5)]
    _fields_ += [("reserved_ptr1", ctypes.c_void_p), ("reserved_ptr2", ctypes.c_void_p)]


class LzmaFilter(ctypes.Structure):
    _fields_ = [("id", ctypes.c_uint64), ("options", ctypes.c_void_p)]


def without_marker(data, lc=3, lp=0, pb=2, dictionary=8 << 20):
    lib = ctypes.CDLL(ctypes.util.find_library("lzma") or "liblzma.so.5")
    options = LzmaOptions()
    if lib.lzma_lzma_preset(ctypes.byref(options), 6):
        sys.exit("liblzma: no preset 6")
    options.dict_size, options.lc, options.lp, options.pb = dictionary, lc, lp, pb
    options.ext_flags = 0  # no end marker
    filters = (LzmaFilter * 2)(LzmaFilter(FILTER_LZMA1EXT, ctypes.addressof(options)),
                               LzmaFilter(VLI_UNKNOWN, None))
    out = ctypes.create_string_buffer(len(data) * 2 + 1024)
    position = ctypes.c_size_t(0)
    result = lib.lzma_raw_buffer_encode(filters, None, data, ctypes.c_size_t(len(data)), out,
                                        ctypes.byref(position), ctypes.c_size_t(len(out)))
    if result != 0:
        sys.exit(f"liblzma: LZMA1EXT encoding failed ({result})")
    return out.raw[:position.value]


def xz_alone(data):
    return subprocess.run(["xz", "--format=lzma", "-6", "-c"], input=data, check=True,
                          stdout=subprocess.PIPE).stdout


def main(directory):
    os.makedirs(directory, exist_ok=True)
    names = []

    def write(name, original, header_and_stream):
        with open(os.path.join(directory, name + ".bin"), "wb") as f:
            f.write(original)
        with open(os.path.join(directory, name + ".lzma"), "wb") as f:
            f.write(header_and_stream)
        names.append(name)

    sized = lambda props, size, stream: props + struct.pack("<Q", size) + stream
    default = properties(3, 0, 2, 8 << 20)
    for name, data in data_sets().items():
        marked = with_marker(data)
        write(f"{name}-marker", data, sized(default, UNKNOWN_SIZE, marked))
        write(f"{name}-marker-sized", data, sized(default, len(data), marked))
        write(f"{name}-nomarker", data, sized(default, len(data), without_marker(data)))
        write(f"{name}-xz", data, xz_alone(data))
    sets = data_sets()
    for lc, lp, pb in ((0, 0, 0), (1, 3, 4), (4, 0, 1), (0, 4, 2)):
        for name in ("text200000", "mixed60000"):
            data = sets[name]
            props = properties(lc, lp, pb, 1 << 20)
            write(f"{name}-lc{lc}lp{lp}pb{pb}", data,
                  sized(props, len(data), without_marker(data, lc, lp, pb, 1 << 20)))
    with open(os.path.join(directory, "manifest.txt"), "w") as f:
        f.write("\n".join(names) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
