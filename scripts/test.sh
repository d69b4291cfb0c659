#!/usr/bin/env bash
# Builds and runs every test twice: a normal build and one under AddressSanitizer and
# UndefinedBehaviorSanitizer that halts on the first report; before them each fuzz target runs briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=$(nproc)
echo "== fuzz targets, a few seconds each"
scripts/fuzz.sh
for preset in dev asan; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    echo "== $preset tests"
    ctest --preset "$preset" -j "$jobs"
done
