#!/usr/bin/env python3
"""Compares two captures of the same frame (8-bit RGB PNGs of one size).

  compare-frames.py same A.png B.png     silhouette and shading match
  compare-frames.py differ A.png B.png   the pictures differ (the camera moved)

Silhouette: a pixel is covered when it differs from the clear colour (the
top-left pixel of A) by more than 24 levels in some channel; the covered
pixels of A and B may disagree on at most 0.5% of the pixels covered in
either (intersection over union at least 99.5%). Shading: over the pixels
covered in both, the mean absolute channel difference is at most 1 level
and at most 0.5% of them differ by more than 32 levels in some channel.

The page (Chromium's SwiftShader) against the native program (Mesa's
llvmpipe) at frame 100 measured 14 of 9329 covered pixels disagreeing
(0.15%), a mean of 0.21 levels and 14 pixels (0.15%) over 32 levels: the
rasterisers differ in edge pixels and rounding. The bounds are about three
times that (docs/testing.md).
"""
import sys

from PIL import Image, ImageChops


def load(path):
    return Image.open(path).convert("RGB")


def covered(img, clear):
    r, g, b = img.split()
    masks = [ch.point(lambda v, c=c: 255 if abs(v - c) > 24 else 0) for ch, c in zip((r, g, b), clear)]
    return ImageChops.lighter(ImageChops.lighter(masks[0], masks[1]), masks[2])


def main():
    mode, a_path, b_path = sys.argv[1:4]
    a, b = load(a_path), load(b_path)
    if a.size != b.size:
        print(f"sizes differ: {a.size} and {b.size}")
        return 1
    clear = a.getpixel((0, 0))
    ma, mb = covered(a, clear), covered(b, clear)
    union = ImageChops.lighter(ma, mb).histogram()[255]
    both = ImageChops.darker(ma, mb)
    disagree = ImageChops.difference(ma, mb).histogram()[255]
    diff = ImageChops.difference(a, b)
    dr, dg, db = diff.split()
    worst = ImageChops.lighter(ImageChops.lighter(dr, dg), db)
    inside = both.histogram()[255]
    total = 0
    for ch in (dr, dg, db):
        hist = Image.composite(ch, Image.new("L", a.size, 0), both).histogram()
        total += sum(v * n for v, n in enumerate(hist))
    mean = total / (3 * inside) if inside else 0.0
    big = Image.composite(worst.point(lambda v: 255 if v > 32 else 0), Image.new("L", a.size, 0), both).histogram()[255]
    changed = worst.point(lambda v: 255 if v > 32 else 0).histogram()[255]
    print(f"covered: {union} px, silhouettes disagree on {disagree} px ({100.0 * disagree / max(union, 1):.2f}%, "
          f"IoU {100.0 * (union - disagree) / max(union, 1):.2f}%); "
          f"shading: mean {mean:.2f} levels, {big} px ({100.0 * big / max(inside, 1):.2f}%) over 32 levels; "
          f"changed: {changed} px")
    if mode == "same":
        ok = union > 0 and disagree <= 0.005 * union and mean <= 1.0 and big <= 0.005 * inside
    else:
        ok = changed >= 0.02 * a.size[0] * a.size[1]
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
