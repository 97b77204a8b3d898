#!/usr/bin/env bash
# Installs what is missing, builds the tool and turns the bundled sample image into a volume.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSLICE2VOL_BUILD_TESTS=OFF
cmake --build build -j2

build/slice2vol --input2d examples/sample.png --output build/sample.vtk
echo "Volume written to build/sample.vtk"
