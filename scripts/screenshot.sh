#!/usr/bin/env bash
# Starts the viewer on a drawing under a virtual X display (Xvfb) and saves
# what the display shows once the window has settled.
#   scripts/screenshot.sh [OUT.png [DRAWING]]
# Defaults: build/screenshot.png and samples/sample.q6. Builds when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshot.png}
drawing=${2:-samples/sample.q6}
if [[ ! -x build/bin/q6viewer || ! -x build/bin/grab_screen ]]; then
  scripts/deps.sh
  scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ6_VIEWER=ON
fi
mkdir -p "$(dirname "$out")"
# No window manager: the window sits at the top left, without a frame.
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  build/bin/q6viewer "$1" &
  viewer=$!
  status=0
  build/bin/grab_screen "$2" 60 || status=$?
  kill "$viewer" 2>/dev/null || true
  wait "$viewer" 2>/dev/null || true
  exit "$status"
' screenshot "$drawing" "$out"
echo "Saved $out"
