#!/usr/bin/env bash
# Starts the real program under Xvfb, then a second copy in the same directory: the second ends at
# once with status 0 and the first keeps running. A first copy killed with SIGKILL holds no lock
# any more, and a new start runs; a copy that ends leaves the lock file in place, unlocked. Lock
# files that no copy holds, whatever they hold, never keep a start from running.
set -euo pipefail
program=$1
unset QT_QPA_PLATFORM
dir=$(mktemp -d)
runtime=$(mktemp -d)  # the session's private runtime folder, where the socket goes
trap 'rm -rf "$dir" "$runtime"' EXIT
chmod 0700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
cd "$dir"

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -u
    program=$1
    fail() { echo "FAIL: $*"; exit 1; }
    # Read from the kernel'"'"'s table: taking the lock to test it could keep a starting copy from it.
    lock_held() { grep -Eq "FLOCK +ADVISORY +WRITE +[0-9]+ +[0-9a-f]+:[0-9a-f]+:$(stat -c %i .velmora.lock) " /proc/locks; }
    wait_for_start_of() {  # pid: waits until it holds the lock and has written its files
        for _ in $(seq 200); do
            kill -0 "$1" 2>/dev/null || return 1
            [ -f Static_holi.txt ] && lock_held && return 0
            sleep 0.1
        done
        return 1
    }

    "$program" & first=$!
    wait_for_start_of "$first" || fail "the first copy did not start"
    sleep 0.5
    started=$SECONDS
    timeout 20 "$program"; status=$?
    [ "$status" -eq 0 ] || fail "the second copy ended with status $status"
    [ $((SECONDS - started)) -le 5 ] || fail "the second copy took $((SECONDS - started)) s to end"
    kill -0 "$first" 2>/dev/null || fail "the first copy ended"
    echo "a second start ended at once; the first copy runs on"

    kill -KILL "$first"; wait "$first" 2>/dev/null || true
    [ -f .velmora.lock ] || fail "the killed copy took its lock file with it"
    lock_held && fail "the lock is still held after its copy was killed"
    "$program" & restarted=$!
    wait_for_start_of "$restarted" || fail "a start after a killed copy did not run"
    kill -TERM "$restarted"; wait "$restarted" || fail "the restarted copy ended badly"
    [ -f .velmora.lock ] || fail "the lock file was removed at a normal end"
    lock_held && fail "the lock is still held after its copy ended"
    echo "a lock left by a killed copy did not block; the lock file stays, unlocked, at the end"

    for content in "" "garbage" $'"'"'4242\nvelmora\nfar-away-host\n'"'"'; do
        printf "%s" "$content" > .velmora.lock
        "$program" & copy=$!
        wait_for_start_of "$copy" || fail "a lock file holding $(printf %q "$content") kept the program from running"
        kill -TERM "$copy"; wait "$copy" || fail "the copy beside the lock file $(printf %q "$content") ended badly"
    done
    echo "lock files that no copy holds did not block, whatever they held"
' _ "$program"
