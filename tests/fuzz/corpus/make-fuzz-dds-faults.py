#!/usr/bin/env python3
"""Writes the regression inputs of fuzz_dds that reproduce the loader's
faults found by fuzzing, byte for byte the same on every run:

  dds-fourcc-not-a-d3dformat   a FourCC field (3486427068) that no D3DFORMAT
                               holds, once cast to the enumeration unchecked
  pgm-width-overflows-int      a PGM header whose width (2252252000...) stb's
                               reader multiplies past INT_MAX
  tga-rle-claims-4112x3600     140,777 bytes of run-length TGA claiming
                               4112x3600 pixels (decoded, resampled to
                               8192x4096 and filtered: seconds and 850 MB)
  tga-rle-honest-4112x3600     the same size in 8-bit grey runs that do hold
                               every pixel: honest, but above the loader's
                               ceiling on decoded pixels
  jpeg-dc-sum-past-int-max     baseline JPEG blocks whose DC differences,
                               summed and dequantised by stb_image, overflow
                               an int (16-bit quantisation table)
  jpeg-huffman-272-codes       a Huffman table of 272 codes, which stb_image
                               writes past its 257-entry size list
  jpeg-undefined-huffman-table a scan using a DC table never defined, which
                               stb_image reads uninitialised
  png-first-idat-empty         a PNG whose first IDAT chunk is empty, which
                               stb_image copies into a null buffer
(jpeg-fuzz-huffman-overflow and hdr-fuzz-run-of-zero-never-ends, found by
fuzz_dds from these, are kept as found: the second made stb_image's
run-length reader loop for ever.) And one small good file of each kind stb_image decodes, for
the fuzzer to start from: seed-png-rgba-3x2, seed-bmp-24-3x2,
seed-tga-rle-3x2, seed-hdr-rle-8x2, seed-jpeg-grey-32x8.

  tests/fuzz/corpus/make-fuzz-dds-faults.py [OUTPUT_DIR]
"""
import os
import struct
import sys


def dds_fourcc_not_a_d3dformat():
    header = bytearray(124)
    struct.pack_into("<IIIIIII", header, 0, 124, 0x1007, 4, 4, 0, 0, 1)
    struct.pack_into("<IIII", header, 72, 32, 0x4, 3486427068, 0)  # DDPF_FOURCC
    struct.pack_into("<I", header, 104, 0x1000)  # DDSCAPS_TEXTURE
    return b"DDS " + bytes(header) + bytes(64)


def pgm_width_overflows_int():
    return b"P5\n22522520000000000 1 255\n" + bytes(16)


def tga_rle_claims_4112x3600():
    width, height = 4112, 3600
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, width, height, 32, 8)
    # Runs of 128 pixels, one packet header and one BGRA pixel each, until
    # the file is 140,777 bytes; the rest of the image is not there.
    body = bytearray()
    colour = 0
    while len(header) + len(body) + 5 <= 140777:
        body += bytes([0xFF, colour & 0xFF, (colour >> 8) & 0xFF, 0x80, 0xFF])
        colour += 37
    body += bytes(140777 - len(header) - len(body))
    return header + bytes(body)


def tga_rle_honest_4112x3600():
    width, height = 4112, 3600
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 11, 0, 0, 0, 0, 0, width, height, 8, 0)
    assert width * height % 128 == 0
    return header + bytes([0xFF, 0x80]) * (width * height // 128)


def jpeg_blocks(dc_table=b"\x00" + bytes([1] + [0] * 15) + bytes([15]), scan_tables=0x00,
                quantisation=b"\x10" + b"\xff\xff" * 64, block_bits="0" + "1" * 15 + "0"):
    """Four grey baseline blocks, each adding +32767 to the DC coefficient
    (16-bit quantisation table of 65535s); one-bit Huffman codes."""
    def segment(marker, payload):
        return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload
    blocks = 4
    one_code = bytes([1] + [0] * 15)  # one Huffman code, of one bit
    out = b"\xff\xd8" + segment(0xDB, quantisation)
    out += segment(0xC0, struct.pack(">BHHB", 8, 8, 8 * blocks, 1) + bytes([1, 0x11, 0]))
    out += segment(0xC4, dc_table)  # DC: category 15
    out += segment(0xC4, b"\x10" + one_code + bytes([0]))  # AC: end of block
    out += segment(0xDA, bytes([1, 1, scan_tables, 0, 63, 0]))
    bits = block_bits * blocks  # by default: DC +32767, end of block
    bits += "1" * (-len(bits) % 8)
    scan = b"".join(bytes([int(bits[i:i + 8], 2)]) + (b"\x00" if bits[i:i + 8] == "11111111" else b"")
                    for i in range(0, len(bits), 8))
    return out + scan + b"\xff\xd9"


def jpeg_dc_sum_past_int_max():
    return jpeg_blocks()


def jpeg_huffman_272_codes():
    return jpeg_blocks(dc_table=b"\x00" + bytes([17] * 16) + bytes(range(15, -1, -1)) * 17)


def jpeg_undefined_huffman_table():
    return jpeg_blocks(scan_tables=0x10)


def png_rgba_3x2(first_idat=b""):
    import zlib
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\x00" + bytes(range(y * 12, y * 12 + 12)) for y in range(2))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 3, 2, 8, 6, 0, 0, 0)) +
            (chunk(b"IDAT", first_idat) if first_idat is not None else b"") +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def png_first_idat_empty():
    return png_rgba_3x2(first_idat=b"")


def seed_png_rgba_3x2():
    return png_rgba_3x2(first_idat=None)


def seed_bmp_24_3x2():
    rows = b"".join(bytes(range(y * 9, y * 9 + 9)) + b"\x00\x00\x00" for y in range(2))
    info = struct.pack("<IiiHHIIiiII", 40, 3, 2, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54) + info + rows


def seed_tga_rle_3x2():
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 3, 2, 24, 0x20)
    return header + bytes([0x82, 10, 20, 30, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9])


def seed_hdr_rle_8x2():
    row = bytes([2, 2, 0, 8]) + b"".join(bytes([0x88, value]) for value in (128, 64, 32, 129))
    return b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 8\n" + row * 2


def seed_jpeg_grey_32x8():
    # DC category 0 (no change) and end of block: four flat grey blocks.
    return jpeg_blocks(dc_table=b"\x00" + bytes([1] + [0] * 15) + bytes([0]), quantisation=b"\x00" + bytes([16] * 64),
                       block_bits="00")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "fuzz_dds")
    for name, make in [("dds-fourcc-not-a-d3dformat", dds_fourcc_not_a_d3dformat),
                       ("pgm-width-overflows-int", pgm_width_overflows_int),
                       ("tga-rle-claims-4112x3600", tga_rle_claims_4112x3600),
                       ("tga-rle-honest-4112x3600", tga_rle_honest_4112x3600),
                       ("jpeg-dc-sum-past-int-max", jpeg_dc_sum_past_int_max),
                       ("jpeg-huffman-272-codes", jpeg_huffman_272_codes),
                       ("jpeg-undefined-huffman-table", jpeg_undefined_huffman_table),
                       ("png-first-idat-empty", png_first_idat_empty),
                       ("seed-png-rgba-3x2", seed_png_rgba_3x2), ("seed-bmp-24-3x2", seed_bmp_24_3x2),
                       ("seed-tga-rle-3x2", seed_tga_rle_3x2), ("seed-hdr-rle-8x2", seed_hdr_rle_8x2),
                       ("seed-jpeg-grey-32x8", seed_jpeg_grey_32x8)]:
        with open(os.path.join(out, name), "wb") as f:
            f.write(make())


if __name__ == "__main__":
    main()
