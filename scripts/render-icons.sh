#!/bin/bash
# Renders the panel icons' PNG sizes from their SVG drawings. Run after
# changing a drawing and commit the PNGs, so building needs no converter
# (rsvg-convert is in Debian's librsvg2-bin).
set -euo pipefail
icons="$(cd "$(dirname "$0")/../resources/icons/hicolor" && pwd)"
for name in orbalenstatus-panel orbalenstatus-change; do
    for size in 16 22 24 32 48; do
        mkdir -p "$icons/${size}x${size}/apps"
        rsvg-convert -w "$size" -h "$size" "$icons/scalable/apps/$name.svg" \
            -o "$icons/${size}x${size}/apps/$name.png"
    done
done
