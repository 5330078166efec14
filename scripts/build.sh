#!/usr/bin/env bash
# Configures and builds one build folder: build.sh DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
# Two cores: one build at a time on this machine (configuring included, so
# that no run rewrites a build folder while another builds in it).
exec 9>/tmp/q6-build.lock
flock 9
if [[ ! -f "$dir/build.ninja" ]]; then
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
else
  cmake -S . -B "$dir" "$@" >/dev/null
fi
ninja -C "$dir" -j "$(nproc)"
