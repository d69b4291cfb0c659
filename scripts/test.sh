#!/usr/bin/env bash
# Builds and runs every test: the fuzz gate, then the normal build with the end-to-end cases and,
# beside them, clang-tidy and the Debian package built and checked, then the build under
# AddressSanitizer and UndefinedBehaviorSanitizer that halts on the first report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
echo "== fuzz gate: a fixed seed and run count per target"
scripts/fuzz.sh

echo "== dev: configure, build, test"
cmake --preset dev
cmake --build --preset dev
# The end-to-end cases spend most of their time waiting for windows: clang-tidy and the package
# use the processors meanwhile, at a lower priority so that the cases keep their pace.
echo "== clang-tidy, then the Debian package, beside the dev tests (their output follows them)"
beside_log=build/beside-the-tests.log
(nice -n 10 scripts/tidy.sh && nice -n 10 scripts/package.sh) >"$beside_log" 2>&1 &
beside=$!
trap 'kill "$beside" 2>/dev/null || true' EXIT
tests=0
ctest --preset dev || tests=$?
beside_status=0
wait "$beside" || beside_status=$?
cat "$beside_log"
[ "$tests" -eq 0 ] || { echo "the dev tests failed" >&2; exit "$tests"; }
[ "$beside_status" -eq 0 ] || { echo "clang-tidy or the package check failed" >&2; exit "$beside_status"; }

echo "== asan: configure, build, test"
cmake --workflow --preset asan
