#!/usr/bin/env bash
# Builds the libFuzzer targets of the model (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each one, starting from the seed corpus in fuzz/corpus/.
#
#   scripts/fuzz.sh              a fixed number of runs from a fixed seed per target, in a fresh
#                                folder: the same executions every time (the test command runs this)
#   scripts/fuzz.sh long [RUNS]  RUNS executions per target (default 10000000), one after another,
#                                at the lowest priority; prints each target's executions and time,
#                                and appends the final statistics of the runs to fuzz/long_runs.txt
#
# New inputs go to build/fuzz/work/<target>; a failing input is written to build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-short}
runs=${2:-10000000}
case "$mode" in
    short | long) ;;
    *) echo "usage: $0 [short | long [RUNS]]" >&2; exit 2 ;;
esac
targets=(fuzz_records fuzz_text_file fuzz_build fuzz_memo_store)

scripts/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null

findings=build/fuzz/findings
mkdir -p "$findings"
record=fuzz/long_runs.txt
if [ "$mode" = long ]; then
    printf '\n== %s, commit %s%s: scripts/fuzz.sh long %s\n' "$(date -u +%Y-%m-%dT%H:%MZ)" \
        "$(git rev-parse --short HEAD 2>/dev/null || echo unknown)" \
        "$(git diff --quiet HEAD -- model fuzz 2>/dev/null || echo ' (with changes)')" "$runs" >>"$record"
fi
# Runs one target; its log is build/fuzz/<target>.log.
run_target() {
    local target=$1 limits work log fixed
    case "$mode" in
        short)
            # A gate that cannot turn red by chance: a fixed seed and run count, no reloading of the
            # corpus on a timer, and (setarch -R below) no address randomisation, which otherwise
            # changes the coverage features seen; what runs depends only on the committed code and
            # seed corpus.
            limits=(-seed=1 -runs=40000 -max_len=512 -reload=0)
            work=build/fuzz/gate/$target
            rm -rf "$work"
            ;;
        long)
            limits=(-runs="$runs" -max_len=512)
            work=build/fuzz/work/$target
            ;;
    esac
    mkdir -p "$work"
    echo "== $target"
    log=build/fuzz/$target.log
    fixed=()
    [ "$mode" = short ] && fixed=(setarch -R)
    if ! nice -n 19 "${fixed[@]}" "build/fuzz/fuzz/$target" "${limits[@]}" -artifact_prefix="$PWD/$findings/$target-" \
            -print_final_stats=1 "$PWD/$work" "$PWD/fuzz/corpus/${target#fuzz_}" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$target failed; the input is in $findings/" >&2
        return 1
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$log"
    if [ "$mode" = long ]; then
        { echo "$target:"; grep -E '^stat::|^Done' "$log" | sed 's/^/    /'; } >>"$record"
    fi
}

if [ "$mode" = long ]; then
    for target in "${targets[@]}"; do run_target "$target"; done
else
    # The gate's runs are independent and single-threaded: one per processor at a time, their
    # output printed in order once all are done.
    pids=()
    for target in "${targets[@]}"; do
        run_target "$target" >"build/fuzz/$target.gate" 2>&1 &
        pids+=($!)
        while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
    done
    failed=0
    for i in "${!targets[@]}"; do
        wait "${pids[$i]}" || failed=1
        cat "build/fuzz/${targets[$i]}.gate"
    done
    exit $failed
fi
