#!/usr/bin/env bash
# Renders the pie's zoom cursors (32 x 32, hot spot at the lens centre, 12,12) from their SVG
# sources (the PNGs are committed; run after editing).
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do rsvg-convert -w 32 -h 32 "$svg" -o "${svg%.svg}.png"; done
