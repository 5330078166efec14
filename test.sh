#!/usr/bin/env bash
# Builds and runs every test twice: in the normal build (warnings are errors)
# and in the AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ6_WERROR=ON -DQ6_VIEWER=ON -DQ6_TESTS=ON
ctest --test-dir build --output-on-failure -j "$(nproc)"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQ6_WERROR=ON -DQ6_SANITIZE=ON -DQ6_BENCH=OFF -DQ6_VIEWER=ON -DQ6_TESTS=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
echo "All tests passed in both builds."
