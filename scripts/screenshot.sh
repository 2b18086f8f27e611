#!/usr/bin/env bash
# Pictures of Quilla on the simulated programmer, at 1280x800.
#   scripts/screenshot.sh [OUTPUT.png] [DATA.hex]
#     the main window on a virtual X display (Xvfb), with the HEX file in the
#     buffer window and the PIC16F877A's form beside it
#   scripts/screenshot.sh --forms DIR
#     one picture of the main window per form class, DIR/<class>.png, each
#     form opened through its first device line, or its keyword with variant 1
#     where no list has a line (offscreen, no X display)
# Both build in the program's Release tree (build/, as scripts/run.sh
# configures it); the pictures of the forms come from a test program, so
# --forms switches the tests on there.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}

if [[ ${1:-} == --forms ]]; then
  dir=${2:?usage: scripts/screenshot.sh --forms DIR}
  mkdir -p "$dir"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLA_TESTS=ON >/dev/null
  cmake --build "$build" -j"$(nproc)" --target test_ui_forms >/dev/null
  QT_QPA_PLATFORM=offscreen QUILLA_FORM_SHOTS="$(realpath -m "$dir")" \
    "$build/tests/test_ui_forms" --gtest_filter='All/EveryForm.*' --gtest_brief=1
  echo "wrote $(ls "$dir"/*.png | wc -l) pictures into $dir"
  exit 0
fi

out=${1:-docs/screenshot.png}
data=${2:-docs/sample.hex}
mkdir -p "$(dirname "$out")"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLA_TESTS=OFF -DQUILLA_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quilla >/dev/null

model=${QUILLA_SIMULATE:-vex520}
# A configuration of our own that remembers the device, so its form opens.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
mkdir -p "$config/quilla"
{
  printf '%s\n' "" "" 2 PIC1687XA "MICROCHIP: PIC16F877A" "$(realpath "$data")" 8 MICROCHIP MPU 0 0 \
    PIC16F877A "" "PIC1687XA 8 #0E 20 fla=8192 ee=256 dly=1 pkg=40"
} >"$config/quilla/$model.cfg"

xvfb-run -a -s "-screen 0 1280x800x24" \
  env QUILLA_SIMULATE="$model" XDG_CONFIG_HOME="$config" \
  "$build/quilla" --screenshot="$(realpath -m "$out")" "$data"
echo "wrote $out"
