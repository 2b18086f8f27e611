#!/usr/bin/env bash
# The tests under AddressSanitizer + UndefinedBehaviorSanitizer (Qt views too,
# offscreen), and the USB-layer tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLA_SANITIZE=ON -DQUILLA_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
if ls tests/usb/*.cpp >/dev/null 2>&1; then
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQUILLA_TSAN=ON -DQUILLA_GUI=OFF -DQUILLA_BENCH=OFF >/dev/null
  cmake --build build-tsan -j"$jobs" --target test_usb
  TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/test_usb
fi
