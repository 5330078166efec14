#!/bin/bash
# Compares `q6tool render` of an older q6tool with this tree's: exit code,
# standard output and the written bytes of SVG, PNG and PDF (the PDF without
# its creation date), on the samples, the fuzz regressions and random
# documents, at the default view and at a stated view and size.
#   scripts/compare_renders.sh OLD_Q6TOOL [COUNT]
set -uo pipefail
cd "$(dirname "$0")/.."
old=$1
count=${2:-200}
build=${BUILD:-build}
new=$build/bin/q6tool
work=${WORK:-/tmp/q6-compare-render}
rm -rf "$work"
mkdir -p "$work/old" "$work/new"
. scripts/compare_inputs.sh
compare_inputs "$work/in" "$build" "$count" 23
export QT_QPA_PLATFORM=offscreen
files=0 differ=0
for f in "$work"/in/*.q6 "$work"/in/random/* "$work"/in/regression-*; do
  [ -f "$f" ] || continue
  files=$((files + 1))
  for args in "" "--size 300x200 --view -50,-40,120,90 --assume colour=bgr"; do
    for ext in svg png pdf; do
      for side in old new; do
        tool=$old; [ $side = new ] && tool=$new
        rm -f "$work/$side/out.$ext"
        # shellcheck disable=SC2086
        "$tool" render "$f" "$work/$side/out.$ext" $args >"$work/$side/stdout" 2>/dev/null
        echo "exit $?" >>"$work/$side/stdout"
        [ $ext = pdf ] && [ -f "$work/$side/out.pdf" ] && sed -i '/CreationDate/d' "$work/$side/out.pdf"
      done
      if ! cmp -s "$work/old/stdout" "$work/new/stdout" ||
         { [ -f "$work/old/out.$ext" ] || [ -f "$work/new/out.$ext" ]; } &&
         ! cmp -s "$work/old/out.$ext" "$work/new/out.$ext"; then
        differ=$((differ + 1))
        echo "DIFFERS: $f $ext $args"
      fi
    done
  done
done
echo "$files drawings, $differ outputs differ"
[ "$differ" = 0 ]
