#!/usr/bin/env bash
# Builds the system into build/ and shows what the module makes of the shipped examples.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target velmora-inspect
build/bin/velmora-inspect examples/north.xtsc examples/zarechny.xtsc
