#!/usr/bin/env bash
# The line and branch coverage that the fuzz corpora reach in the library
# (Func_/, Q6Unit/, Unit1/ without the window): builds build-fuzzcov/ with
# clang's source-based coverage, runs every input of each target's corpus
# once, and prints llvm-cov's report per target and for all three together.
#   fuzz/coverage.sh          (after fuzz/run.sh, which fills fuzz/corpus-work/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build-fuzzcov -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQ6_FUZZ=ON -DQ6_VIEWER=OFF -DQ6_TESTS=OFF -DQ6_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=-fprofile-instr-generate -fcoverage-mapping" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate -fcoverage-mapping"
work=fuzz/corpus-work
out=$work/coverage
rm -rf "$out"
mkdir -p "$out"
sources=(Func_ Q6Unit Unit1/Report.cpp Unit1/Flows.cpp)
objects=()
for t in load_report save_stable text_numbers; do
  dirs=()
  for d in "$work/$t" "fuzz/regressions/$t"; do [[ -d $d ]] && dirs+=("$d"); done
  LLVM_PROFILE_FILE="$out/$t.profraw" nice -n 10 "build-fuzzcov/bin/fuzz_$t" -runs=0 "${dirs[@]}" 2>"$out/$t.log"
  llvm-profdata-14 merge -o "$out/$t.profdata" "$out/$t.profraw"
  echo "== $t: $(find "${dirs[@]}" -type f | wc -l) inputs"
  llvm-cov-14 report "build-fuzzcov/bin/fuzz_$t" -instr-profile="$out/$t.profdata" "${sources[@]}" | tail -n 1
  objects+=(-object "build-fuzzcov/bin/fuzz_$t")
done
llvm-profdata-14 merge -o "$out/all.profdata" "$out"/*.profraw
echo "== all targets together"
llvm-cov-14 report "${objects[@]:1}" -instr-profile="$out/all.profdata" "${sources[@]}"
