#!/usr/bin/env bash
# Makes the icon files from veltrona-administration.svg, in this folder:
#   veltrona-administration.ico          16, 24, 32, 48, 64, 128 and 256 pixels (Windows)
#   png/<size>/veltrona-administration.png   the same sizes (hicolor, the Qt window)
# The generated files are committed, so a build needs none of these tools; run this after
# changing the drawing. Installs rsvg-convert (librsvg2-bin) and icotool (icoutils) with
# apt-get when they are missing (needs root).
set -euo pipefail
cd "$(dirname "$0")"
source ../../scripts/packages.sh
ensure_packages librsvg2-bin icoutils
name=veltrona-administration
sizes=(16 24 32 48 64 128 256)
pngs=()
for size in "${sizes[@]}"; do
    mkdir -p "png/$size"
    rsvg-convert -w "$size" -h "$size" -o "png/$size/$name.png" "$name.svg"
    pngs+=("png/$size/$name.png")
done
# The 128- and 256-pixel images stay PNG inside the ICO (-r), which Windows reads from Vista
# on; the smaller ones are stored as bitmaps, which every reader of icons knows.
icotool -c -o "$name.ico" "${pngs[@]:0:5}" -r "${pngs[5]}" -r "${pngs[6]}"
ls -l "$name.ico"
