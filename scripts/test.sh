#!/usr/bin/env bash
# Builds and runs every test: the fuzz gate, then the normal build with the end-to-end cases and
# clang-tidy, the Debian package built and checked, then one under AddressSanitizer and
# UndefinedBehaviorSanitizer that halts on the first report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
echo "== fuzz gate: a fixed seed and run count per target"
scripts/fuzz.sh
for preset in dev asan; do
    echo "== $preset: configure, build, test"
    cmake --workflow --preset "$preset"
    if [ "$preset" = dev ]; then
        echo "== clang-tidy"
        scripts/tidy.sh
        scripts/package.sh
    fi
done
