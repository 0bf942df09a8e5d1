#!/usr/bin/env bash
# Configures and builds the program, its tools and tests into build/; the
# arguments go to `cmake --build` (e.g. --target NAME).
#   ORBALEN_BUILD_TESTS=OFF  leave out the tests and benchmarks (they need the
#                            test packages). Stated on every run, since the
#                            build folder remembers the last choice.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tests=${ORBALEN_BUILD_TESTS:-ON}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DORBALEN_BUILD_TESTS="$tests" -DORBALEN_BUILD_BENCH="$tests" >/dev/null
cmake --build build "$@"
