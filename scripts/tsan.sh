#!/usr/bin/env bash
# The USB layer (driver library, event thread, start-up) under ThreadSanitizer:
# test_usb and one program per sub-folder of tests/usb (test_usb_<sub>). The
# tree builds only the layers those programs link (no forms, no Qt).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/phase.sh
jobs=$(nproc)
usb_tests=()
if ls tests/usb/*.cpp >/dev/null 2>&1; then usb_tests+=(test_usb); fi
for d in tests/usb/*/; do
  [ -d "$d" ] && ls "$d"*.cpp >/dev/null 2>&1 && usb_tests+=("test_usb_$(basename "$d")")
done
[ ${#usb_tests[@]} -gt 0 ] || exit 0
# clang, as the test tree (scripts/test.sh).
if [ -f build-tsan/CMakeCache.txt ] && ! { grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' build-tsan/CMakeCache.txt &&
     grep -q '^CMAKE_CXX_COMPILER:.*clang++$' build-tsan/CMakeCache.txt; }; then
  rm -rf build-tsan
fi
phase tsan_configure env CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" \
  -DQUILLA_TSAN=ON -DQUILLA_GUI=OFF -DQUILLA_BENCH=OFF
phase tsan_build cmake --build build-tsan -j"$jobs" --target "${usb_tests[@]}"
run_all() {
  for t in "${usb_tests[@]}"; do
    TSAN_OPTIONS=halt_on_error=1 GTEST_BRIEF=1 "build-tsan/tests/$t"
  done
}
phase tsan_tests run_all
