#!/usr/bin/env bash
# Builds the fuzz targets, writes the seed corpus, and runs each target for
# SECONDS (default 60), one after the other; fails on the first finding.
#   fuzz/run.sh [SECONDS [TARGET...]]      TARGET: load_report save_stable text_numbers build_json render load_dxf
# Work files go to fuzz/corpus-work/: the growing corpus of each target
# (corpus-work/<target>/), the seeds, and the inputs of any finding
# (corpus-work/findings/<target>/). A finding's input belongs, once fixed, in
# fuzz/regressions/<target>/, which the normal tests replay.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then targets=(load_report save_stable text_numbers build_json render load_dxf); fi

Q6_WITH_FUZZ=1 scripts/deps.sh
fuzz/build.sh
work=fuzz/corpus-work
mkdir -p "$work/seeds"
build-fuzz/bin/make_fuzz_seeds samples/sample.q6 "$work/seeds"

for t in "${targets[@]}"; do
  case $t in
    text_numbers) seeds=$work/seeds/text; dict=() ;;
    build_json) seeds=$work/seeds/json; dict=(-dict=fuzz/json.dict) ;;
    *) seeds=$work/seeds/drawings; dict=(-dict=fuzz/q6.dict) ;;
  esac
  mkdir -p "$work/$t" "$work/findings/$t" "fuzz/regressions/$t"
  echo "== fuzz_$t for ${seconds}s"
  # A finding (crash, leak, undefined behaviour, failed check, timeout,
  # out-of-memory) ends the run with a non-zero status.
  nice -n 10 "build-fuzz/bin/fuzz_$t" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/findings/$t/" \
    "$work/$t" "$seeds" "fuzz/regressions/$t"
done
echo "No findings."
