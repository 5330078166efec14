#!/usr/bin/env bash
# Compares, byte for byte, what q6tool prints, saves and exports when built
# from an older revision and from the working tree:
#   scripts/compare_outputs.sh [REV [COUNT]]
# REV (default: where this branch left main) is built into
# $WORK/old-build from `git archive`; the working tree's tools come from
# build/ (BUILD=DIR to choose another folder). The inputs: the sample, the
# fuzz regression inputs, a typical, a mixed and a fixed-size drawing of
# make_drawing, and COUNT (default 1000) random documents of
# make_random_docs, every fourth also cut short and with one byte changed.
# JOBS (default 2) drawings are compared at a time. For every
# drawing: report, chunks, save (the saved bytes), json, and build of that
# JSON (the saved bytes); for every JSON input, build. Standard output,
# standard error and the exit status must be the same.
# Exit 0 when everything is identical, 1 on the first difference.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rev=${1:-$(git merge-base HEAD main 2>/dev/null || git rev-parse HEAD~1)}
count=${2:-1000}
build=${BUILD:-build}
work=${WORK:-/tmp/q6-compare}
mkdir -p "$work"
work=$(cd "$work" && pwd)

echo "== building q6tool at $(git rev-parse --short "$rev") in $work/old-build"
rm -rf "$work/old-src"
mkdir -p "$work/old-src"
git archive "$rev" | tar -x -C "$work/old-src"
(
  exec 9>/tmp/q6-build.lock
  flock 9
  cmake -S "$work/old-src" -B "$work/old-build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ6_VIEWER=OFF \
    -DQ6_TESTS=OFF -DQ6_BENCH=OFF >/dev/null
  ninja -C "$work/old-build" q6tool >/dev/null
  echo "== building the working tree's tools in $build"
  ninja -C "$build" q6tool make_drawing make_random_docs >/dev/null
)
old=$work/old-build/bin/q6tool
# A copy, so that a rebuild during the comparison does not change it.
cp "$build/bin/q6tool" "$work/q6tool-new"
new=$work/q6tool-new

inputs=$work/inputs
rm -rf "$inputs"
. scripts/compare_inputs.sh
compare_inputs "$inputs" "$build" "$count" 17
"$build/bin/make_drawing" "$inputs/fixed.q6" 1 --fixed --seed 7 >/dev/null

# One drawing (or, with a .json name, one JSON input of build), in a folder
# of its own: each q6tool command runs in $dir/old and $dir/new, and its
# output, messages, exit status and saved file must be the same. Prints the
# first difference and fails.
check() {
  local f=$1 dir
  dir=$work/runs/$(basename "$f")
  rm -rf "$dir"
  mkdir -p "$dir/old" "$dir/new"
  run() {  # name command args...: in both folders
    local name=$1 side tool
    shift
    for side in old new; do
      tool=$old
      [[ $side == new ]] && tool=$new
      (cd "$dir/$side" && rm -f out.q6 && set +e && "$tool" "$@" >"$name.out" 2>"$name.err"; echo $? >"$name.rc") || true
    done
    local x
    for x in "$name.out" "$name.err" "$name.rc" out.q6; do
      if [[ -e $dir/old/$x || -e $dir/new/$x ]] && ! cmp -s "$dir/old/$x" "$dir/new/$x"; then
        echo "DIFFERENT: $f: q6tool $* ($x)"
        diff <(head -c 3000 "$dir/old/$x" 2>/dev/null) <(head -c 3000 "$dir/new/$x" 2>/dev/null) | head -10 || true
        return 1
      fi
    done
  }
  if [[ $f == *.json ]]; then
    run build build "$f" out.q6 || return 1
  else
    run report report "$f" || return 1
    run chunks chunks "$f" || return 1
    run save save "$f" out.q6 || return 1
    run json json "$f" || return 1
    if [[ $(cat "$dir/new/json.rc") == 0 ]]; then run build build json.out out.q6 || return 1; fi
  fi
  rm -rf "$dir"
}
export -f check
export old new work

# A failed check makes xargs stop (status 255).
ls "$inputs"/*.q6 "$inputs"/random/*.q6 "$inputs"/*.json 2>/dev/null |
  xargs -P "${JOBS:-2}" -I{} bash -c 'check "$1" || exit 255' _ {} || { echo "== outputs differ"; exit 1; }
n=$(ls "$inputs"/*.q6 "$inputs"/random/*.q6 | wc -l)
echo "== $n drawings: report, chunks, save, json and build of the JSON identical to $(git rev-parse --short "$rev")"
