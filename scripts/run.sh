#!/usr/bin/env bash
# Installs what is missing, builds Quilla and starts it: on the programmer when
# one is attached, else on the simulated programmer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
exec build/quilla --simulate "$@"
