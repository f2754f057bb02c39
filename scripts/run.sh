#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Sornaval and starts it. Without a
# display it says so and shows what the command-line program can do.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target sornaval sornaval-cli

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: the window program needs one. The command-line program works without:"
  "$BUILD_DIR/main/sornaval-cli" --help
  echo
  echo "Drives and disc images it can see:"
  "$BUILD_DIR/main/sornaval-cli" drives || true
  exit 0
fi
exec "$BUILD_DIR/main/sornaval" "$@"
