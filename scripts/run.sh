#!/usr/bin/env bash
# Builds the calendar and runs it in its data folder; takes what velmora-launch takes (--dir DIR).
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
cd "$source_dir"
scripts/deps.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target velmora

# The launcher beside the built program: the data folder it takes (--dir DIR, $VELMORA_DIR or the
# default one) is the one the desktop entry and velmora-cal take.
exec "$source_dir/build/release/app/velmora-launch" "$@"
