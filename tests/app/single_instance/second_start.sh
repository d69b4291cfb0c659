#!/usr/bin/env bash
# Starts the real program under Xvfb, then a second copy in the same directory: the second ends at
# once with status 0 and the first keeps running. Then a first copy killed with SIGKILL leaves its
# lock behind, and a new start takes it over and runs.
set -euo pipefail
program=$1
unset QT_QPA_PLATFORM
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -u
    program=$1
    fail() { echo "FAIL: $*"; exit 1; }
    wait_for_lock_of() {  # pid: waits until the lock file names it and its window is up
        for _ in $(seq 200); do
            [ -f Static_holi.txt ] && [ "$(head -n 1 .velmora.lock 2>/dev/null)" = "$1" ] && return 0
            sleep 0.1
        done
        return 1
    }

    "$program" & first=$!
    wait_for_lock_of "$first" || fail "the first copy did not start"
    sleep 0.5
    timeout 20 "$program"; status=$?
    [ "$status" -eq 0 ] || fail "the second copy ended with status $status"
    kill -0 "$first" 2>/dev/null || fail "the first copy ended"
    echo "a second start ended at once; the first copy runs on"

    kill -KILL "$first"; wait "$first" 2>/dev/null || true
    [ -f .velmora.lock ] || fail "no stale lock was left to take over"
    "$program" & restarted=$!
    wait_for_lock_of "$restarted" || fail "a start after a crashed copy did not take over its lock"
    kill -0 "$restarted" 2>/dev/null || fail "the restarted copy ended"
    kill -TERM "$restarted"; wait "$restarted" || fail "the restarted copy ended badly"
    [ ! -e .velmora.lock ] || fail "the lock file stayed after a normal end"
    echo "a lock left by a killed copy was taken over"
' _ "$program"
