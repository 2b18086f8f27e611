#!/usr/bin/env bash
# Installs what is missing, builds Quilla and runs every test (headless views
# run offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUILLA_PCH=ON >/dev/null
cmake --build build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs"
