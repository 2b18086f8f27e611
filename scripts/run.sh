#!/usr/bin/env bash
# Installs what is missing, builds Quilla and starts it on the simulated
# programmer (vex520; arguments are passed on, e.g. --simulate=vex640). It runs
# in the foreground until its main window is closed. For a real programmer,
# start build/quilla without --simulate (see README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
exec build/quilla --simulate "$@"
