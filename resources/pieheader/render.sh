#!/usr/bin/env bash
# Renders the pie header's pictures of grouped items (32 x 32) from their SVG sources (the PNGs
# are committed; run after editing).
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do rsvg-convert -w 32 -h 32 "$svg" -o "${svg%.svg}.png"; done
