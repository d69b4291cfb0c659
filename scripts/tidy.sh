#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) on the program's C++ sources with the normal build's
# compile commands; any finding fails. Headers of ours are checked through the sources that
# include them. The tests are checked too when given --all (it takes about twice as long).
# The builds compile in unity batches, whose compile commands name the batches, not the sources: the
# check configures a tree of its own, build/tidy, one command per source (nothing is built there;
# clangd can use its compile_commands.json too).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev -B build/tidy -DCMAKE_UNITY_BUILD=OFF >/dev/null
folders='^(model|platform|paper|ui|app|velmora-cal|bench)/'
[ "${1:-}" = --all ] && folders='^(model|platform|paper|ui|app|velmora-cal|bench|tests)/'
files=$(git ls-files '*.cpp' | grep -E "$folders" | grep -v '^tests/e2e/')
echo "clang-tidy on $(echo "$files" | wc -l) files"
# shellcheck disable=SC2086
run-clang-tidy -quiet -p build/tidy -j "${TIDY_JOBS:-$(nproc)}" $files
