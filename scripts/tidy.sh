#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) on the program's C++ sources with the normal build's
# compile commands; any finding fails. Headers of ours are checked through the sources that
# include them. The tests are checked too when given --all (it takes about twice as long).
# The presets compile in unity batches: each batch is checked as it is compiled, so Qt's headers
# are read once per batch rather than once per source; a source included in a batch is checked
# there (.clang-tidy's header filter names our folders).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/dev/compile_commands.json ] || cmake --preset dev >/dev/null
folders='^(model|reminders|platform|ical|sync|paper|ui|app|velmora-cal|bench)/'
[ "${1:-}" = --all ] && folders='^(model|reminders|platform|ical|sync|paper|ui|app|velmora-cal|bench|tests)/'
# What the compile commands compile, as paths below the source folder or the build folder.
mapfile -t files < <(python3 - "$folders" <<'PY'
import json, os, re, sys
folders = re.compile(sys.argv[1])
source, build = os.getcwd(), os.path.join(os.getcwd(), "build/dev")
for entry in json.load(open("build/dev/compile_commands.json")):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    root = build if path.startswith(build + "/") else source
    relative = os.path.relpath(path, root)
    if folders.search(relative) and not relative.startswith("tests/e2e/") and "/moc_" not in relative:
        print(path)
PY
)
batches=() sources=()
for file in "${files[@]}"; do
    if [[ $file == */Unity/unity_* ]]; then batches+=("$file"); else sources+=("$file"); fi
done
echo "clang-tidy on ${#sources[@]} sources and ${#batches[@]} unity batches"
[ ${#sources[@]} -eq 0 ] || run-clang-tidy -quiet -p build/dev -j "$(nproc)" "${sources[@]}"
# A batch is nothing but includes of .cpp files, which is what that one check is there to catch.
[ ${#batches[@]} -eq 0 ] ||
    run-clang-tidy -quiet -p build/dev -j "$(nproc)" -checks=-bugprone-suspicious-include "${batches[@]}"
