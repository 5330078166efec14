#!/usr/bin/env bash
# Starts the viewer on a drawing under a virtual X display (Xvfb) and saves
# what the display shows once the window has settled.
#   scripts/screenshot.sh [OUT.png [DRAWING [SCREEN [VIEWER OPTIONS...]]]]
# Defaults: build/screenshot.png, samples/sample.q6 and an 800x600 screen.
# Builds when needed. The main window and the drawing window side by side:
#   scripts/screenshot.sh docs/drawing-window.png samples/sample.q6 1480x620 --drawing
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshot.png}
drawing=${2:-samples/sample.q6}
screen=${3:-800x600}
shift $(($# < 3 ? $# : 3))
if [[ ! -x build/bin/q6viewer || ! -x build/bin/grab_screen ]]; then
  scripts/deps.sh
  scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ6_VIEWER=ON
fi
mkdir -p "$(dirname "$out")"
# No window manager: the window sits at the top left, without a frame.
xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
  drawing=$1 out=$2
  shift 2
  build/bin/q6viewer "$@" "$drawing" &
  viewer=$!
  status=0
  build/bin/grab_screen "$out" 60 || status=$?
  kill "$viewer" 2>/dev/null || true
  wait "$viewer" 2>/dev/null || true
  exit "$status"
' screenshot "$drawing" "$out" "$@"
echo "Saved $out"
