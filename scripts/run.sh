#!/usr/bin/env bash
# Builds the calendar and runs it in its data directory.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
cd "$source_dir"
scripts/deps.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target velmora

data_dir="${XDG_DATA_HOME:-$HOME/.local/share}/velmora"
mkdir -p "$data_dir"
cd "$data_dir"
exec "$source_dir/build/release/app/velmora"
