#!/usr/bin/env bash
# Builds the libFuzzer targets (clang 19, ASan + UBSan) into build-fuzz, writes
# a seed corpus of synthetic databases, and runs every target for a bounded
# time. Fails on any finding (crash, sanitizer report, leak, timeout).
#   TESSALY_FUZZ_SECONDS  time per target (default 90)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${TESSALY_FUZZ_SECONDS:-90}

bash scripts/build.sh build-fuzz -DCMAKE_CXX_COMPILER=clang++-19 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSALY_FUZZ=ON -DBUILD_TESTING=OFF -DTESSALY_BENCH=OFF

seeds=build-fuzz/fuzz-seeds
artifacts=build-fuzz/fuzz-artifacts
rm -rf "$seeds"
mkdir -p "$seeds" "$artifacts"
build-fuzz/fuzz/make_fuzz_seeds "$seeds"

for target in build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$target")
  work=build-fuzz/fuzz-corpus/$name
  mkdir -p "$work"
  echo "fuzz: $name for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$target" -max_total_time="$seconds" -max_len=131072 -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$work" "$seeds"
done
