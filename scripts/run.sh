#!/usr/bin/env bash
# Installs what is missing, builds Quilla and starts it on the simulated
# programmer (vex520; arguments are passed on, e.g. --simulate=vex640). It runs
# in the foreground until its main window is closed. For a real programmer,
# start build/quilla without --simulate (see README.md).
#
# build/ is the program's tree: Release, without the tests and the benchmarks
# (scripts/test.sh builds and runs the tests in build-test/), and only the
# program is built (its data, data/, is read from the source tree). The
# benchmarks (scripts/bench.sh) and the pictures (scripts/screenshot.sh) build
# in this tree too and switch on what they need; configuring here switches it
# off again, the objects they share stay built.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUILLA_TESTS=OFF -DQUILLA_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target quilla
exec build/quilla --simulate "$@"
