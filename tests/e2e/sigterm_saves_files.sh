#!/usr/bin/env bash
# Starts the real program under Xvfb in a fresh directory holding one memo, ends it with SIGTERM
# and checks the files it wrote: the memo kept byte for byte, the built-in holidays written (a
# copy of the program with no official holiday list installed beside it).
set -euo pipefail
unset QT_QPA_PLATFORM  # the real program on a real (virtual) display
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/bin" "$dir/data"
program=$dir/bin/velmora
cp "$1" "$program"
cd "$dir/data"

# A memo with a line break: CR LF in the store, CR CR LF on disk.
memo_on_disk=$'126^11^7^\x89\xEF\x8B\x63\r\r\nline~'
printf '%s\0' "$memo_on_disk" > MemoData.txt

status=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    "$1" & pid=$!
    for _ in $(seq 100); do [ -f Static_holi.txt ] && break; sleep 0.1; done
    sleep 1
    kill -TERM "$pid"
    wait "$pid"' _ "$program" || status=$?
[ "$status" -eq 0 ] || { echo "the program ended with status $status"; exit 1; }

fail() { echo "FAIL: $*"; exit 1; }
expect_bytes() {  # file, expected content without its closing NUL
    local want got
    want=$(printf '%s\0' "$2" | od -An -tx1)
    got=$(od -An -tx1 "$1")
    [ "$want" = "$got" ] || fail "$1 holds$got"
}
expect_bytes MemoData.txt "$memo_on_disk"
[ "$(head -c 8 Static_holi.txt)" = "1^1^$(printf '\x8c\xb3\x92\x55')" ] || fail "Static_holi.txt lacks the built-in holidays"
grep -q "^1^15^" Dynamic_holi.txt || fail "Dynamic_holi.txt lacks the built-in holidays"
year_file="$(( $(date +%Y) - 1900 ))_holi.txt"
[ -f "$year_file" ] || fail "$year_file was not written"
ls -A "$dir/data" | grep -q '\.tmp' && fail "a temporary file was left behind"
echo "the program saved its stores on SIGTERM"
