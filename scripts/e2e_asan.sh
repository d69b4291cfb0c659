#!/usr/bin/env bash
# Runs the end-to-end cases against the program built under AddressSanitizer and
# UndefinedBehaviorSanitizer: the sanitizer build's own tests run offscreen, these drive the real
# program on an X server with a window manager, a notification area, a clipboard and an input
# method. Every report goes to build/asan/e2e/<case>.<pid>; the end lists each case's result and
# the reports it left. Usage: scripts/e2e_asan.sh [CASE...] (default: every case).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/deps.sh || exit 1

# The dev build gives the reference renderer; the asan build only the program.
cmake --preset dev >/dev/null && cmake --build --preset dev --target velmora_render_reference || exit 1
cmake --preset asan >/dev/null && cmake --build --preset asan --target velmora velmora-cal || exit 1

program=$PWD/build/asan/app/velmora
reference=$PWD/build/dev/tests/e2e/velmora_render_reference
out=$PWD/build/asan/e2e
rm -rf "$out" && mkdir -p "$out" && chmod 0777 "$out"  # the input-method case runs the program as another user

cases=("$@")
if [ $# -eq 0 ]; then
    IFS=';' read -r -a cases <<<"$(python3 tests/e2e/run_case.py --list)"
    cases+=(ime_commit wayland_start accessibility_tree sigterm_saves_files)
fi

# A report ends the program at once (its case then fails); libfaketime is preloaded before the
# sanitizers' runtime, which they accept only when told to.
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
summary=()
for case in "${cases[@]}"; do
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:verify_asan_link_order=0:log_path=$out/$case"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$out/$case"
    case $case in
        ime_commit | wayland_start | accessibility_tree) command=(python3 "tests/e2e/$case.py" "$program") ;;
        sigterm_saves_files) command=(tests/e2e/sigterm_saves_files.sh "$program") ;;
        *) command=(python3 tests/e2e/run_case.py "$case" "$program" --reference "$reference" --artifacts "$out/failed") ;;
    esac
    "${command[@]}" >"$out/$case.out" 2>&1 && result=pass || result=FAIL
    reports=$(find "$out" -maxdepth 1 -name "$case.[0-9]*" | wc -l)
    summary+=("$result $case, $reports report(s)")
    echo "${summary[-1]}"
done
printf '%s\n' "== summary" "${summary[@]}"
! printf '%s\n' "${summary[@]}" | grep -q -e '^FAIL' -e ', [1-9][0-9]* report'
