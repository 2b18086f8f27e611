#!/usr/bin/env bash
# Installs what is missing, builds Quilla with its tests under AddressSanitizer
# + UndefinedBehaviorSanitizer and runs every test (headless views offscreen).
# One tree for the tests (build-test): the Release tree of scripts/run.sh and
# the benchmarks is not needed to prove anything.
#
# Debug (assertions on) at -O1 with line tables only: reports still name file
# and line, the tests run several times faster than at -O0, and the tree builds
# with a fraction of the debug information. The test programs' own sources
# compile at -O0 (tests/CMakeLists.txt): their run time is in the layers.
#
# QUILLA_TIMES=FILE appends one line per phase (name, wall s, user s, sys s).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/phase.sh
phase install scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# clang: the sanitizer tree compiles in less than half the time (and half the
# memory) it takes g++. The Release tree of scripts/run.sh stays on g++, so
# both compilers keep building the project warning-free. A tree configured
# earlier with another generator or compiler is configured afresh.
if [ -f build-test/CMakeCache.txt ] && ! { grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' build-test/CMakeCache.txt &&
     grep -q '^CMAKE_CXX_COMPILER:.*clang++$' build-test/CMakeCache.txt; }; then
  rm -rf build-test
fi
phase configure env CC=clang CXX=clang++ cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" \
  -DQUILLA_SANITIZE=ON -DQUILLA_BENCH=OFF -DQUILLA_PCH=ON
phase build cmake --build build-test -j"$jobs"
phase tests ctest --test-dir build-test --output-on-failure -j"$jobs"
# The slowest entries, so a program that grows long is noticed (and sharded in
# tests/CMakeLists.txt).
cost=build-test/Testing/Temporary/CTestCostData.txt
if [ -f "$cost" ]; then
  echo "Slowest test entries (seconds):"
  sed '/^---/,$d' "$cost" | sort -k3 -g -r | head -n 8 | awk '{ printf "  %-32s %7.1f\n", $1, $3 }' || true
fi
