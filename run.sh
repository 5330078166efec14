#!/usr/bin/env bash
# Builds everything (installing what is missing) and opens the sample drawing
# in the viewer; without a display, prints its report with q6tool instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ6_VIEWER=ON
sample=samples/sample.q6
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -x build/bin/q6viewer ]]; then
  exec build/bin/q6viewer "$sample"
fi
echo "No display available: printing the report of $sample with q6tool." >&2
exec build/bin/q6tool report "$sample"
