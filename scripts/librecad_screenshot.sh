#!/usr/bin/env bash
# Exports a drawing as DXF, opens it in LibreCAD (Debian's librecad, a DXF
# reader we did not write) under a virtual X display and saves the screen;
# also prints the DXF, fitted to the page, through LibreCAD's own dxf2pdf and
# rasterises that print to OUT-print.png (pdftoppm).
#   scripts/librecad_screenshot.sh [OUT.png [DRAWING]]
# Defaults: docs/librecad-sample.png and samples/sample.q6. Needs a build of
# q6tool and grab_screen (build/bin/) and installs librecad when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/librecad-sample.png}
drawing=${2:-samples/sample.q6}
grab=${GRAB_SCREEN:-build/bin/grab_screen}
if ! command -v librecad >/dev/null; then
  SUDO=(); if [[ $(id -u) != 0 ]]; then SUDO=(sudo); fi
  DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq --no-install-recommends librecad
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# LibreCAD's font "kst32b" holds the Japanese characters.
build/bin/q6tool dxf "$drawing" "$work/drawing.dxf" --text-font kst32b
# LibreCAD's default settings, without the welcome dialog of a first start
export HOME=$work
mkdir -p "$HOME/.config/LibreCAD"
printf '[Startup]\nFirstLoad=0\n[Appearance]\nLanguage=en\nLanguageCmd=en\n' >"$HOME/.config/LibreCAD/LibreCAD.conf"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  librecad "$1" >/dev/null 2>&1 &
  app=$!
  sleep 8
  status=0
  "$2" "$3" 60 || status=$?
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  exit "$status"
' screenshot "$work/drawing.dxf" "$grab" "$out"
(cd "$work" && xvfb-run -a librecad dxf2pdf -a drawing.dxf >/dev/null 2>&1)
pdftoppm -r 70 -png -singlefile "$work/drawing.pdf" "${out%.png}-print"
echo "Saved $out and ${out%.png}-print.png"
