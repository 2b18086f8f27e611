#!/usr/bin/env bash
# Draws the placement pictures (data/Place/*.bmp, data/Place2/*.bmp) with our
# own generator, tools/placement_pictures.cpp: the socket as the placement
# dialog draws it, with each part or adapter board where the simulated
# programmer seats it. The files are committed; re-run after changing a seat
# or the list of pictures, titles and parts (tools/placement_pictures.h).
#   scripts/make-placement-pictures.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target placement_pictures
QT_QPA_PLATFORM=offscreen "$build/placement_pictures" "$root/data"
