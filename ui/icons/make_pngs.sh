#!/bin/sh
# Renders the program icon's PNG sizes from vmkt.svg (needs rsvg-convert,
# Debian package librsvg2-bin). Run it after changing the drawing and commit
# the PNGs with it.
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
    rsvg-convert --width="$size" --height="$size" vmkt.svg --output="vmkt-$size.png"
done
