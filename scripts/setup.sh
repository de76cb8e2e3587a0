#!/usr/bin/env bash
# Installs everything the project needs to build, test and benchmark on a
# fresh Debian 12 machine. Run as root (or with sudo available). Idempotent.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-19 libclang-rt-19-dev   # libFuzzer with ASan/UBSan
  mdbtools                      # independent reader used as a test oracle
)
# Node.js runs the npm package mdb-reader, a second oracle. The machine image
# ships Node 20 with npm; take Debian's only when none is there.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# mdb-reader (npm) for the oracle tests, kept inside the build tree's tool folder.
root=$(cd "$(dirname "$0")/.." && pwd)
oracle="$root/build-tools/oracle"
if [ ! -d "$oracle/node_modules/mdb-reader" ]; then
  mkdir -p "$oracle"
  (cd "$oracle" && npm install --silent --no-audit --no-fund mdb-reader@3 >/dev/null 2>&1) ||
    echo "setup: mdb-reader could not be installed; its oracle tests will skip" >&2
fi
