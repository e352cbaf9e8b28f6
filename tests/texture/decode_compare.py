#!/usr/bin/env python3
"""Loads one generated DDS file per format and mip layout through the real
loader (texture_dump, on the stub device) and compares the texture's level 0
with an independent decoder: Pillow for the formats it reads, else the
header's masks read here. Block formats may differ by the rounding of their
interpolated colours. Exit 77 (skipped) without Pillow.

usage: decode_compare.py TEXTURE_DUMP
"""
import os
import random
import struct
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    print("decode_compare: Pillow is not installed (python3-pil); skipped")
    sys.exit(77)

RGB, LUMINANCE, ALPHA, BUMP, FOURCC, ALPHAPIXELS = 0x40, 0x20000, 0x2, 0x80000, 0x4, 0x1


def fourcc(text):
    return struct.unpack("<I", text.encode())[0]


def header(width, height, mips, pf_flags, four_cc=0, bits=0, masks=(0, 0, 0, 0), dxgi=None):
    h = struct.pack("<4s7I", b"DDS ", 124, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000, height, width, 0, 0, mips)
    h += b"\0" * 44
    h += struct.pack("<8I", 32, pf_flags, four_cc, bits, *masks)
    h += struct.pack("<5I", 0x1000, 0, 0, 0, 0)
    if dxgi is not None:
        h += struct.pack("<5I", dxgi, 3, 0, 1, 0)
    return h


def level_sizes(width, height, mips, unit, block):
    sizes = []
    for _ in range(mips):
        sizes.append(((width + 3) // 4) * ((height + 3) // 4) * unit if block else width * height * unit)
        width, height = max(1, width // 2), max(1, height // 2)
    return sizes


def mask_decoder(masks, signed=False, luminance=False, swap_rb=False):
    """Reads pixels by their masks: unsigned (or two's complement) fields."""
    masks = list(masks)
    if swap_rb:  # D3DX reads the 10:10:10:2 masks the other way round
        masks[0], masks[2] = masks[2], masks[0]

    def decode(data, width, height, unit):
        out = []
        for i in range(width * height):
            v = int.from_bytes(data[i * unit:(i + 1) * unit], "little")
            px = []
            for c, m in enumerate(masks):
                if m == 0:
                    px.append(1.0 if c == 3 else 0.0)
                    continue
                shift = (m & -m).bit_length() - 1
                top = m >> shift
                raw = (v & m) >> shift
                if signed:
                    half = (top >> 1) + 1
                    raw = raw - 2 * half if raw >= half else raw
                    px.append(max(-1.0, raw / (half - 1)))
                else:
                    px.append(raw / top)
            if luminance:
                px[1] = px[2] = px[0]
            out.append(px)
        return out
    return decode


def float_decoder(code, channels):
    def decode(data, width, height, unit):
        out = []
        for i in range(width * height):
            values = struct.unpack_from("<%d%s" % (channels, code), data, i * unit)
            out.append(list(values) + [0.0] * (3 - min(3, channels)) + ([1.0] if channels < 4 else []))
        return out
    return decode


def unorm16_decoder(channels):
    def decode(data, width, height, unit):
        out = []
        for i in range(width * height):
            values = [v / 65535 for v in struct.unpack_from("<%dH" % channels, data, i * unit)]
            out.append(values + [0.0] * (3 - min(3, channels)) + ([1.0] if channels < 4 else []))
        return out
    return decode


def pillow(channels):
    """Pillow's decoding; `channels` says which of R, G, B, A it gives."""
    def decode(path, width, height):
        image = Image.open(path)
        image.load()
        mode = image.mode
        pixels = list(image.getdata())
        out = []
        for p in pixels:
            if mode == "L":
                p = (p, p, p, 255)
            elif mode == "LA":
                p = (p[0], p[0], p[0], p[1])
            elif mode == "RGB":
                p = tuple(p) + (255,)
            out.append([c / 255 for c in p])
        return out, channels
    return decode


def random_floats(count, code):
    return b"".join(struct.pack("<" + code, random.uniform(-4, 4)) for _ in range(count))


# name, header fields, bytes per pixel (or block), block?, decoder, tolerance
CASES = [
    ("DXT1", dict(pf_flags=FOURCC, four_cc=fourcc("DXT1")), 8, True, pillow("RGBA"), 3 / 255),
    ("DXT3", dict(pf_flags=FOURCC, four_cc=fourcc("DXT3")), 16, True, pillow("RGBA"), 3 / 255),
    ("DXT5", dict(pf_flags=FOURCC, four_cc=fourcc("DXT5")), 16, True, pillow("RGBA"), 3 / 255),
    # Pillow gives ATI1 as grey and ATI2 without blue: their R (and G) count.
    ("ATI1", dict(pf_flags=FOURCC, four_cc=fourcc("ATI1")), 8, True, pillow("R"), 3 / 255),
    ("ATI2", dict(pf_flags=FOURCC, four_cc=fourcc("ATI2")), 16, True, pillow("RG"), 3 / 255),
    ("DX10 BC5_UNORM", dict(pf_flags=FOURCC, four_cc=fourcc("DX10"), dxgi=83), 16, True, pillow("RG"), 3 / 255),
    ("DX10 BC1_UNORM", dict(pf_flags=FOURCC, four_cc=fourcc("DX10"), dxgi=71), 8, True, None, 0),
    ("L8", dict(pf_flags=LUMINANCE, bits=8, masks=(0xff, 0, 0, 0)), 1, False, pillow("RGBA"), 1e-6),
    ("A8L8", dict(pf_flags=LUMINANCE | ALPHAPIXELS, bits=16, masks=(0xff, 0, 0, 0xff00)), 2, False, pillow("RGBA"), 1e-6),
    ("R8G8B8", dict(pf_flags=RGB, bits=24, masks=(0xff0000, 0xff00, 0xff, 0)), 3, False, pillow("RGBA"), 1e-6),
    ("A8R8G8B8", dict(pf_flags=RGB | ALPHAPIXELS, bits=32, masks=(0xff0000, 0xff00, 0xff, 0xff000000)), 4, False,
     pillow("RGBA"), 1e-6),
]
MASKED = [
    ("X8R8G8B8", RGB, 32, (0xff0000, 0xff00, 0xff, 0)),
    ("A8B8G8R8", RGB | ALPHAPIXELS, 32, (0xff, 0xff00, 0xff0000, 0xff000000)),
    ("X8B8G8R8", RGB, 32, (0xff, 0xff00, 0xff0000, 0)),
    ("R5G6B5", RGB, 16, (0xf800, 0x7e0, 0x1f, 0)),
    ("X1R5G5B5", RGB, 16, (0x7c00, 0x3e0, 0x1f, 0)),
    ("A1R5G5B5", RGB | ALPHAPIXELS, 16, (0x7c00, 0x3e0, 0x1f, 0x8000)),
    ("A4R4G4B4", RGB | ALPHAPIXELS, 16, (0xf00, 0xf0, 0xf, 0xf000)),
    ("X4R4G4B4", RGB, 16, (0xf00, 0xf0, 0xf, 0)),
    ("R3G3B2", RGB, 8, (0xe0, 0x1c, 0x3, 0)),
    ("A8R3G3B2", RGB | ALPHAPIXELS, 16, (0xe0, 0x1c, 0x3, 0xff00)),
    ("A2B10G10R10", RGB | ALPHAPIXELS, 32, (0x3ff00000, 0xffc00, 0x3ff, 0xc0000000)),
    ("A2R10G10B10", RGB | ALPHAPIXELS, 32, (0x3ff, 0xffc00, 0x3ff00000, 0xc0000000)),
    ("G16R16", RGB, 32, (0xffff, 0xffff0000, 0, 0)),
    ("A8", ALPHA, 8, (0, 0, 0, 0xff)),
    ("A4L4", LUMINANCE | ALPHAPIXELS, 8, (0xf, 0, 0, 0xf0)),
    ("L16", LUMINANCE, 16, (0xffff, 0, 0, 0)),
    ("V8U8", BUMP, 16, (0xff, 0xff00, 0, 0)),
    ("Q8W8V8U8", BUMP, 32, (0xff, 0xff00, 0xff0000, 0xff000000)),
    ("V16U16", BUMP, 32, (0xffff, 0xffff0000, 0, 0)),
]
for name, flags, bits, masks in MASKED:
    CASES.append((name, dict(pf_flags=flags, bits=bits, masks=masks), bits // 8, False,
                  mask_decoder(masks, signed=bool(flags & BUMP), luminance=bool(flags & LUMINANCE),
                               swap_rb=name.startswith("A2")), 0.51 / 255))
for name, number, code, channels in [("R16F", 111, "e", 1), ("G16R16F", 112, "e", 2), ("A16B16G16R16F", 113, "e", 4),
                                     ("R32F", 114, "f", 1), ("G32R32F", 115, "f", 2), ("A32B32G32R32F", 116, "f", 4)]:
    CASES.append((name, dict(pf_flags=FOURCC, four_cc=number), struct.calcsize(code) * channels, False,
                  float_decoder(code, channels), 1e-6))
CASES.append(("A16B16G16R16", dict(pf_flags=FOURCC, four_cc=36), 8, False, unorm16_decoder(4), 1e-6))

# Mip layouts: the full chain, one level (the rest generated), part of it.
LAYOUTS = [(8, 8, 4), (8, 4, 1), (16, 8, 2)]


def main():
    dump = sys.argv[1]
    random.seed(13)
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        for index, (name, fields, unit, block, decoder, tolerance) in enumerate(CASES):
            for width, height, mips in LAYOUTS:
                label = "%s %dx%d, %d level(s)" % (name, width, height, mips)
                sizes = level_sizes(width, height, mips, unit, block)
                if name.endswith("F"):  # finite values, no NaN bit patterns
                    code = "e" if "16F" in name else "f"
                    data = random_floats(sum(sizes) // struct.calcsize("<" + code), code)
                else:
                    data = bytes(random.getrandbits(8) for _ in range(sum(sizes)))
                path = os.path.join(tmp, "%d.dds" % index)
                with open(path, "wb") as f:
                    f.write(header(width, height, mips, **fields) + data)
                out = path + ".out"
                if subprocess.run([dump, path, out]).returncode != 0:
                    print("FAIL %s: not loaded" % label)
                    failures += 1
                    continue
                with open(out, "rb") as f:
                    line = f.readline().split()
                    got = f.read()
                levels = int(line[3])
                full = max(width, height).bit_length()
                if (int(line[1]), int(line[2]), levels) != (width, height, full):
                    print("FAIL %s: %s" % (label, b" ".join(line).decode()))
                    failures += 1
                if decoder is None:
                    continue
                ours = struct.unpack("<%df" % (len(got) // 4), got)
                if decoder.__name__ == "decode" and decoder.__code__.co_argcount == 3:
                    reference, channels = decoder(path, width, height)
                else:
                    reference, channels = decoder(data[:sizes[0]], width, height, unit), "RGBA"
                worst = 0.0
                for i, ref in enumerate(reference):
                    for c, letter in enumerate("RGBA"):
                        if letter in channels:
                            worst = max(worst, abs(ours[i * 4 + c] - ref[c]))
                status = "ok  " if worst <= tolerance else "FAIL"
                failures += status == "FAIL"
                print("%s %-36s as %-14s largest difference %.6f" % (status, label, line[0].decode(), worst))
    print("decode_compare: %d failure(s)" % failures)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
