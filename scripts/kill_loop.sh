#!/usr/bin/env bash
# Kills a process that saves the four data files in a loop with SIGKILL, again and again (1000
# times unless given), and checks after each kill that every file holds one complete store.
#
#   scripts/kill_loop.sh [KILLS] [MAX_DELAY_US]
#
# Builds velmora_kill_loop in the dev preset and runs it at the lowest priority in a fresh
# temporary directory.
set -euo pipefail
cd "$(dirname "$0")/.."
kills=${1:-1000}
max_delay=${2:-100000}
scripts/deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target velmora_kill_loop -j "$(nproc)" >/dev/null
nice -n 19 build/dev/tests/model/kill/velmora_kill_loop --kills "$kills" --max-delay-us "$max_delay"
