#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test:
#   1. the unit, corpus and oracle tests (release build);
#   2. the same tests once more under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the reader's fuzz targets for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

echo "== build and test (release)"
bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$(nproc)"

echo "== build and test (ASan + UBSan)"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON -DTESSALY_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzz"
  bash scripts/fuzz.sh
fi
