#!/usr/bin/env bash
# Builds the libFuzzer targets of the model (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each one, starting from the seed corpus in fuzz/corpus/.
#
#   scripts/fuzz.sh              a few seconds per target (the test command runs this)
#   scripts/fuzz.sh long [RUNS]  RUNS executions per target (default 10000000), one after another,
#                                at the lowest priority; prints each target's executions and time
#
# New inputs go to build/fuzz/work/<target>; a failing input is written to build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-short}
runs=${2:-10000000}
targets=(fuzz_records fuzz_text_file fuzz_build fuzz_memo_store)

scripts/deps.sh
# clang and its libFuzzer runtime, when missing.
missing=()
for p in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null

findings=build/fuzz/findings
mkdir -p "$findings"
for target in "${targets[@]}"; do
    work=build/fuzz/work/$target
    mkdir -p "$work"
    case "$mode" in
        short) limits=(-max_total_time=4) ;;
        long) limits=(-runs="$runs" -max_len=512) ;;
        *) echo "usage: $0 [short | long [RUNS]]" >&2; exit 2 ;;
    esac
    echo "== $target"
    log=build/fuzz/$target.log
    if ! nice -n 19 "build/fuzz/fuzz/$target" "${limits[@]}" -artifact_prefix="$findings/$target-" \
            -print_final_stats=1 "$work" "fuzz/corpus/${target#fuzz_}" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$target failed; the input is in $findings/" >&2
        exit 1
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$log"
done
