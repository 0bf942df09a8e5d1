#!/usr/bin/env bash
# Sets up a fresh Debian machine, then builds and runs every test:
# formatting, the full suite (unit and integration), the unit tests again under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the bounded fuzz runs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs=$(nproc)

bash scripts/install-deps.sh runtime build test package
bash scripts/check-format.sh

echo "== build and run all tests"
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

echo "== unit tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORBALEN_SANITIZE=ON \
      -DORBALEN_BUILD_BENCH=OFF -DORBALEN_UNIT_TESTS_ONLY=ON >/dev/null
cmake --build build-asan --target unit-tests
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -L unit --output-on-failure -j "$jobs" --timeout 300

if [ -x scripts/fuzz.sh ]; then
  echo "== bounded fuzz runs"
  bash scripts/fuzz.sh
fi
