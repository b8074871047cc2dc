#!/usr/bin/env bash
# Makes the Windows program icon ui/win32/vmkt.ico from ui/icons/vmkt.svg:
# twelve images, 16, 32 and 48 pixels at 16 colours, 256 colours and 32-bit
# colour (bitmaps with a transparency mask), then 256 pixels at the same three
# depths (PNG-compressed). The first image is the 16-pixel, 16-colour one.
# Needs rsvg-convert (librsvg2-bin), ImageMagick and python3.
# Usage: tools/make_ico.sh [SVG] [ICO]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
svg=${1:-"$root/ui/icons/vmkt.svg"}
ico=${2:-"$root/ui/win32/vmkt.ico"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The standard 16-colour palette of the 16-colour icons.
vga=(black maroon green olive navy purple teal silver gray red lime yellow blue fuchsia aqua white)
convert $(printf 'xc:%s ' "${vga[@]}") +append "$work/vga.png"

nodate=(-strip -define png:exclude-chunks=date,time)
for size in 16 32 48 256; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$work/$size.png"
  # Straight colour and alpha, 8 bits each.
  convert "$work/$size.png" -depth 8 "RGBA:$work/$size.rgba"
  # Paletted versions of the colour: the standard 16 colours, and 256
  # colours chosen for the picture.
  convert "$work/$size.png" -alpha off +dither -remap "$work/vga.png" -depth 8 "RGB:$work/$size.4.rgb"
  convert "$work/$size.png" -alpha off +dither -colors 256 -depth 8 "RGB:$work/$size.8.rgb"
done
# The large images as PNG files of the three depths.
convert "$work/256.png" "${nodate[@]}" -define png:color-type=6 -define png:bit-depth=8 \
  "PNG32:$work/256.32.png"
convert "$work/256.png" "${nodate[@]}" -channel A -threshold 50% +channel +dither -colors 16 \
  -define png:bit-depth=4 "PNG8:$work/256.4.png"
convert "$work/256.png" "${nodate[@]}" +dither -colors 255 "PNG8:$work/256.8.png"

python3 - "$work" "$ico" <<'PY'
import struct, sys

work, out = sys.argv[1], sys.argv[2]

def rows(data, size, bpp):
    """Pixels row by row, bottom row first, as a bitmap stores them."""
    stride = size * bpp
    return [data[y * stride:(y + 1) * stride] for y in reversed(range(size))]

def pad4(b):
    return b + b"\0" * (-len(b) % 4)

def mask(alpha_rows, size):
    """The AND mask: 1 where the picture is transparent."""
    out = b""
    for row in alpha_rows:
        bits = bytearray((size + 7) // 8)
        for x in range(size):
            if row[x] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += pad4(bytes(bits))
    return out

def dib(size, bits, palette, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(pixels), 0, 0,
                         len(palette) if bits <= 8 else 0, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return header + pal + pixels

images = []  # (width, colours, bits, data)
for size in (16, 32, 48):
    rgba = open(f"{work}/{size}.rgba", "rb").read()
    alpha = [bytes(r[3::4]) for r in rows(rgba, size, 4)]
    and_mask = mask(alpha, size)
    for bits in (4, 8):
        rgb = open(f"{work}/{size}.{bits}.rgb", "rb").read()
        colours = sorted({rgb[i:i + 3] for i in range(0, len(rgb), 3)})
        if len(colours) > (1 << bits):
            sys.exit(f"{size}px: {len(colours)} colours do not fit {bits} bits")
        index = {c: i for i, c in enumerate(colours)}
        palette = [tuple(c) for c in colours] + [(0, 0, 0)] * ((1 << bits) - len(colours))
        pixels = b""
        for y, row in enumerate(rows(rgb, size, 3)):
            idx = []
            for x in range(size):
                # Transparent pixels are black, so that the mask alone shows.
                c = row[3 * x:3 * x + 3]
                idx.append(index[c] if alpha[y][x] >= 128 else index.get(b"\0\0\0", 0))
            if bits == 4:
                packed = bytes((idx[i] << 4) | (idx[i + 1] if i + 1 < size else 0)
                               for i in range(0, size, 2))
            else:
                packed = bytes(idx)
            pixels += pad4(packed)
        images.append((size, 16 if bits == 4 else 0, bits, dib(size, bits, palette, pixels + and_mask)))
    xor = b"".join(pad4(bytes(b for px in range(size) for b in (r[4 * px + 2], r[4 * px + 1], r[4 * px], r[4 * px + 3])))
                   for r in rows(rgba, size, 4))
    images.append((size, 0, 32, dib(size, 32, [], xor + and_mask)))
for bits in (4, 8, 32):
    images.append((256, 16 if bits == 4 else 0, bits, open(f"{work}/256.{bits}.png", "rb").read()))

offset = 6 + 16 * len(images)
entries, blobs = b"", b""
for width, colours, bits, data in images:
    w = 0 if width >= 256 else width
    entries += struct.pack("<BBBBHHII", w, w, colours, 0, 1, bits, len(data), offset + len(blobs))
    blobs += data
with open(out, "wb") as f:
    f.write(struct.pack("<HHH", 0, 1, len(images)) + entries + blobs)
print(f"{out}: {len(images)} images, {6 + len(entries) + len(blobs)} bytes")
PY
