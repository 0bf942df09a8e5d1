#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for a bounded time, starting from its seed corpus in
# fuzz/corpus/<target>. New inputs go to a scratch folder, so the committed corpus stays as
# it is. A crash, leak, time-out (5 s per input) or memory blow-up (1 GiB) fails the run and
# leaves the input in build-fuzz/<target>-crash-*.
#   FUZZ_SECONDS  time per target (default 20)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${FUZZ_SECONDS:-20}
targets=(fuzz_url fuzz_patterns fuzz_links fuzz_netlink fuzz_smtp fuzz_settings_text)

cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz --target "${targets[@]}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in "${targets[@]}"; do
    echo "== fuzzing $target for ${seconds}s"
    mkdir -p "$scratch/$target"
    timeout $((seconds + 120)) "build-fuzz/$target" \
        -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=5 -max_len=8192 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/$target-" \
        "$scratch/$target" "fuzz/corpus/$target" 2>&1 | tail -n 12
    test "${PIPESTATUS[0]}" -eq 0
done
