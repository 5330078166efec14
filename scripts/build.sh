#!/usr/bin/env bash
# Configures and builds one build folder: build.sh DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
if [[ ! -f "$dir/build.ninja" ]]; then
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
else
  cmake -S . -B "$dir" "$@" >/dev/null
fi
ninja -C "$dir" -j "$(nproc)"
