#!/usr/bin/env bash
# Builds and runs the grab benchmark: a WAV grab of a 10-minute virtual disc
# in times real time, and the MP3 grab (224 kbit/s CBR, on the fly and
# WAV-then-encode) against the lame command on the same PCM; then the decoders
# (sornaval-cli decode) against mpg123 -w and oggdec on the same files, and
# the Ogg grab against oggenc on the same PCM, as time ratios (ours / theirs);
# then the APE encoder at every level in times real time (bench/ApeBench.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
scripts/deps.sh
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j 2 --target rip_bench ape_bench sornaval-cli
command -v lame >/dev/null || { echo "bench.sh: the lame command is needed (apt-get install lame)" >&2; exit 1; }

export XDG_DATA_HOME="$(mktemp -d)"
trap 'rm -rf "$XDG_DATA_HOME"' EXIT
"$BUILD_DIR/bench/rip_bench"

for tool in mpg123 oggdec oggenc sox; do
  command -v $tool >/dev/null || { echo "bench.sh: the $tool command is needed" >&2; exit 1; }
done
cli="$BUILD_DIR/main/sornaval-cli"
work="$XDG_DATA_HOME/decoders"
mkdir -p "$work"
# The best of three runs, in seconds.
best() {
  local b=""
  for _ in 1 2 3; do
    local s e t
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc -l)
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
  done
  echo "$b"
}
ratio() { printf '%-34s ours %6.3f s  theirs %6.3f s  ratio %.3f (target <= 1.05)\n' "$1" "$2" "$3" "$(echo "$2 / $3" | bc -l)"; }
sox -n -r 44100 -c 2 -b 16 "$work/src.wav" synth 600 sine 440 sine 660 gain -6
lame --quiet -V 2 "$work/src.wav" "$work/v2.mp3"
lame --quiet -b 128 "$work/src.wav" "$work/cbr.mp3"
oggenc -Q -q 5 "$work/src.wav" -o "$work/q5.ogg"
for f in v2.mp3 cbr.mp3; do
  ratio "decode $f (10 min) vs mpg123 -w" "$(best "$cli" decode "$work/$f" "$work/out.wav")" \
        "$(best mpg123 -q -w "$work/ref.wav" "$work/$f")"
done
ratio "decode q5.ogg (10 min) vs oggdec" "$(best "$cli" decode "$work/q5.ogg" "$work/out.wav")" \
      "$(best oggdec -Q -o "$work/ref.wav" "$work/q5.ogg")"
# The Ogg grab of the demo disc (the settings' default: 350 kbit/s managed)
# against oggenc on the disc's PCM with the same rates.
"$cli" rip --demo --whole-disc --format wav --output-dir "$work/wav" >/dev/null
pcm=$(find "$work/wav" -name '*.wav' | head -1)
ratio "Ogg grab of the demo disc vs oggenc" "$(best "$cli" rip --demo --whole-disc --format ogg --output-dir "$work/ogg")" \
      "$(best oggenc -Q --managed -b 350 -m 350 -M 350 "$pcm" -o "$work/ref.ogg")"

"$BUILD_DIR/bench/ape_bench"
