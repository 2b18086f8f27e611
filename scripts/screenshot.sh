#!/usr/bin/env bash
# Takes a picture of the main window, with a HEX file loaded into the buffer
# window, on a virtual X display (Xvfb), on the simulated programmer.
#   scripts/screenshot.sh [OUTPUT.png] [DATA.hex]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${1:-docs/screenshot.png}
data=${2:-docs/sample.hex}
mkdir -p "$(dirname "$out")"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target quilla >/dev/null
xvfb-run -a -s "-screen 0 1024x700x24" \
  env QUILLA_SIMULATE="${QUILLA_SIMULATE:-vex520}" \
  "$build/quilla" --screenshot="$(realpath -m "$out")" "$data"
echo "wrote $out"
