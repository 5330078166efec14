#!/usr/bin/env bash
# Builds the fuzz targets and the seed generator with clang++ and libFuzzer
# into build-fuzz/ (through scripts/build.sh):
#   fuzz/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQ6_FUZZ=ON -DQ6_VIEWER=OFF -DQ6_TESTS=OFF -DQ6_BENCH=OFF
