#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) on the program's C++ sources with the normal build's
# compile commands; any finding fails. Headers of ours are checked through the sources that
# include them. The tests are checked too when given --all (it takes about twice as long).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/dev/compile_commands.json ] || cmake --preset dev >/dev/null
folders='^(model|platform|ui|app|velmora-cal|bench)/'
[ "${1:-}" = --all ] && folders='^(model|platform|ui|app|velmora-cal|bench|tests)/'
files=$(git ls-files '*.cpp' | grep -E "$folders" | grep -v '^tests/e2e/')
echo "clang-tidy on $(echo "$files" | wc -l) files"
# shellcheck disable=SC2086
run-clang-tidy -quiet -p build/dev -j "$(nproc)" $files
