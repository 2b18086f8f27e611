#!/usr/bin/env bash
# Builds every benchmark in bench/ (one program per source file) and runs them
# one after another; each prints its own table. It builds in the program's
# Release tree (build/, as scripts/run.sh configures it) with the benchmarks
# switched on, so the layers are compiled once for both.
#   scripts/bench.sh [NAME...]   (NAME: a file name in bench/ without .cpp)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for src in bench/*.cpp; do names+=("$(basename "$src" .cpp)"); done
fi
targets=()
for n in "${names[@]}"; do targets+=("bench_$n"); done
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLA_TESTS=OFF -DQUILLA_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
for t in "${targets[@]}"; do
  echo
  echo "== $t"
  "$build/bench/$t"
done
