#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UBSan) and runs each
# one briefly. Usage: scripts/fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/phase.sh
secs=${1:-30}
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
phase fuzz_configure env CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLA_FUZZ=ON -DQUILLA_SANITIZE=ON -DQUILLA_GUI=OFF -DQUILLA_TESTS=OFF -DQUILLA_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
targets=()
for src in fuzz/*.cpp; do
  targets+=("fuzz_$(basename "$src" .cpp)")
done
phase fuzz_build cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
run_all() {
  for t in "${targets[@]}"; do
    name=${t#fuzz_}
    corpus=build-fuzz/corpus/$name
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
    echo "== $t (${secs}s)"
    "build-fuzz/fuzz/$t" -max_total_time="$secs" -max_len=65536 "$corpus" "${seeds[@]}"
  done
}
phase fuzz_runs run_all
