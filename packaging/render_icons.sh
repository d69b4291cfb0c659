#!/usr/bin/env bash
# Renders the PNG icons in app/desktop/icons/ from the SVG icon. The PNGs are committed, so that a
# build needs no SVG renderer and every machine installs the same pixels; run this after changing
# the SVG and commit the result.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

svg=app/desktop/org.velmora.Velmora.svg
for size in 16 32 48 64 128; do
    mkdir -p "app/desktop/icons/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --output "app/desktop/icons/${size}x${size}/org.velmora.Velmora.png" "$svg"
done
