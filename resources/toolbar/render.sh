#!/usr/bin/env bash
# Renders the toolbar images from their SVG sources (the PNGs are committed; run after editing).
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do rsvg-convert -w 16 -h 16 "$svg" -o "${svg%.svg}.png"; done
