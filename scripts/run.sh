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
  # No display: grab the demo disc to MP3 into the music folder with the
  # command-line program and list the files it wrote.
  MUSIC_DIR=$(xdg-user-dir MUSIC 2>/dev/null || true)
  if [ -z "$MUSIC_DIR" ] || [ "$MUSIC_DIR" = "$HOME" ]; then MUSIC_DIR="$HOME/Music"; fi
  echo "No display: grabbing the demo disc to MP3 into $MUSIC_DIR with sornaval-cli."
  LOG=$(mktemp)
  status=0
  "$BUILD_DIR/main/sornaval-cli" rip --demo --format mp3 --output-dir "$MUSIC_DIR" | tee "$LOG" || status=$?
  echo
  echo "Files written:"
  grep '^/' "$LOG" | while IFS= read -r file; do ls -l "$file"; done
  rm -f "$LOG"
  exit "$status"
fi
exec "$BUILD_DIR/main/sornaval" "$@"
