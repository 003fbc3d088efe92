#!/usr/bin/env bash
# Renders the PNG sizes of the application icon from orvex.svg (ImageMagick). The PNGs are
# committed; run this again after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
    convert -background none -density 384 orvex.svg -resize ${size}x${size} -strip "orvex-${size}.png"
done
