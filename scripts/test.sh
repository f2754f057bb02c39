#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Sornaval with warnings as errors
# and runs the whole test suite. Exits non-zero on any failure.
#   SORNAVAL_SANITIZE=1 scripts/test.sh   the same under ASan/UBSan
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

BUILD_DIR=${BUILD_DIR:-build}
SANITIZE=${SORNAVAL_SANITIZE:-0}
if [ "$SANITIZE" = 1 ]; then BUILD_DIR=${BUILD_DIR}-asan; fi

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSORNAVAL_WERROR=ON -DSORNAVAL_SANITIZE=$([ "$SANITIZE" = 1 ] && echo ON || echo OFF)
cmake --build "$BUILD_DIR" -j "$(nproc)"

# Tests never touch the user's real folders.
export XDG_DATA_HOME="$(mktemp -d)"
export XDG_CONFIG_HOME="$(mktemp -d)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
export QT_QPA_PLATFORM=offscreen
trap 'rm -rf "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"' EXIT

ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)" --timeout 300
