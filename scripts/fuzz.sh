#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UBSan) and runs each
# one briefly. Usage: scripts/fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/phase.sh
secs=${1:-30}
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Assertions on, -O1 and line tables only (as the test tree): the targets reach
# the forms, so this tree compiles most of the project.
phase fuzz_configure env CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" \
  -DQUILLA_FUZZ=ON -DQUILLA_SANITIZE=ON -DQUILLA_GUI=OFF -DQUILLA_TESTS=OFF -DQUILLA_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
targets=()
for src in fuzz/*.cpp; do
  targets+=("fuzz_$(basename "$src" .cpp)")
done
phase fuzz_build cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
# The targets run side by side, as many at once as there are cores; each one's
# output is printed when it ends, and any failure fails the whole run.
run_one() {
  local t=$1 name=${1#fuzz_}
  local corpus=build-fuzz/corpus/$name seeds=()
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  "build-fuzz/fuzz/$t" -max_total_time="$secs" -max_len=65536 "$corpus" "${seeds[@]}" > "build-fuzz/$t.log" 2>&1
}
run_all() {
  local pids=() names=() failed=0 i
  for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do sleep 0.2; done
    run_one "$t" &
    pids+=($!)
    names+=("$t")
  done
  for i in "${!pids[@]}"; do
    if wait "${pids[$i]}"; then
      echo "== ${names[$i]} (${secs}s): $(tail -n 1 "build-fuzz/${names[$i]}.log")"
    else
      echo "== ${names[$i]} FAILED:"
      cat "build-fuzz/${names[$i]}.log"
      failed=1
    fi
  done
  return $failed
}
phase fuzz_runs run_all
