#!/usr/bin/env bash
# The tests under AddressSanitizer + UndefinedBehaviorSanitizer (Qt views too,
# offscreen), and the USB-layer tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Debug (assertions on) at -O1 with line tables only: the reports still name
# file and line, the tests run several times faster than at -O0, and the tree
# compiles and links with a fraction of the debug information.
san_flags="-O1 -g1"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=$san_flags" -DQUILLA_SANITIZE=ON -DQUILLA_BENCH=OFF -DQUILLA_PCH=ON >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
# The USB layer (driver library, event thread, start-up) under ThreadSanitizer:
# test_usb and one program per sub-folder of tests/usb (test_usb_<sub>).
usb_tests=()
if ls tests/usb/*.cpp >/dev/null 2>&1; then usb_tests+=(test_usb); fi
for d in tests/usb/*/; do
  [ -d "$d" ] && ls "$d"*.cpp >/dev/null 2>&1 && usb_tests+=("test_usb_$(basename "$d")")
done
if [ ${#usb_tests[@]} -gt 0 ]; then
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=$san_flags" -DQUILLA_TSAN=ON -DQUILLA_GUI=OFF -DQUILLA_BENCH=OFF >/dev/null
  cmake --build build-tsan -j"$jobs" --target "${usb_tests[@]}"
  for t in "${usb_tests[@]}"; do
    TSAN_OPTIONS=halt_on_error=1 "build-tsan/tests/$t"
  done
fi
