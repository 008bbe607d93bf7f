#!/usr/bin/env bash
# Renders the pages' pictures from their SVG sources (the PNGs are committed; run after editing):
# the tree bar chart picture at 32 x 32, the level-up arrow at 16 x 16.
set -euo pipefail
cd "$(dirname "$0")"
rsvg-convert -w 32 -h 32 barchart.svg -o barchart.png
rsvg-convert -w 16 -h 16 levelup.svg -o levelup.png
