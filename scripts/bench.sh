#!/usr/bin/env bash
# Builds and runs the grab benchmark: a WAV grab of a 10-minute virtual disc
# in times real time, and the MP3 grab (224 kbit/s CBR, on the fly and
# WAV-then-encode) against the lame command on the same PCM.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
scripts/deps.sh
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j 2 --target rip_bench
command -v lame >/dev/null || { echo "bench.sh: the lame command is needed (apt-get install lame)" >&2; exit 1; }

export XDG_DATA_HOME="$(mktemp -d)"
trap 'rm -rf "$XDG_DATA_HOME"' EXIT
"$BUILD_DIR/bench/rip_bench"
