#!/usr/bin/env bash
# Installs what is missing, builds the tool with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --with-tests
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSLICE2VOL_BUILD_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure --no-tests=error -j2 --timeout 300
