#!/usr/bin/env bash
# Builds with AddressSanitizer and UBSan into build-test/, runs the benchmarks
# with a short setting (figures only, never failing on time), then every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_WERROR=ON
cmake --build build-test -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for b in build-test/bin/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b") (sanitizer build: compare ratios, not absolute times)"
    # The offscreen platform's own leaks are no concern for figures.
    ASAN_OPTIONS=detect_leaks=0 "$b" --short
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
cd build-test && ctest --output-on-failure -j"$(nproc)"
