#!/usr/bin/env bash
# info and decode on files made by lame and oggenc: the decoder's figures, and
# a decode that holds the source's sample count; unreadable files fail with 1.
set -u
cli=$1
fail() { echo "FAIL: $*"; exit 1; }
for t in sox lame oggenc ffmpeg ffprobe; do command -v $t >/dev/null || { echo "skip: $t missing"; exit 0; }; done
d=$(mktemp -d); trap 'rm -rf "$d"' EXIT
export XDG_DATA_HOME=$d/data XDG_CONFIG_HOME=$d/config
sox -n -r 22050 -c 1 -b 16 "$d/s.wav" synth 2.5 sine 440
lame --quiet -b 64 "$d/s.wav" "$d/s.mp3"
oggenc -Q "$d/s.wav" -o "$d/s.ogg"
json=$("$cli" info "$d/s.mp3" "$d/s.ogg" --json) || fail "info status"
# MPEG-2 frames of 576 samples: whole seconds of the frame count, 2 s.
grep -q '"decoder": "mpeg", "rate": 22050, "channels": 1, "bitrate": 64, "length_ms": 2000, "total_bytes": 352800' <<<"$json" || fail "mp3 info: $json"
grep -q '"decoder": "ogg", "rate": 22050, "channels": 1, "bitrate": 0, "length_ms": 2000, "total_bytes": 110250' <<<"$json" || fail "ogg info: $json"
# Both encoders record the source's length (LAME tag, last granule): the
# decode has exactly the samples sox made.
want=$(ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 "$d/s.wav")
for f in s.mp3 s.ogg; do
  "$cli" decode "$d/$f" "$d/out.wav" >/dev/null || fail "decode $f"
  got=$(ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 "$d/out.wav")
  [ "$got" = "$want" ] || fail "$f: $got samples decoded, the source has $want"
done
head -c 3000 /dev/urandom >"$d/noise.mp3"
"$cli" decode "$d/noise.mp3" "$d/out.wav" >/dev/null 2>&1; [ $? -eq 1 ] || fail "noise did not fail with 1"
"$cli" info "$d/s.flac" >/dev/null 2>&1; [ $? -eq 1 ] || fail "unknown type did not fail with 1"
echo "cli decoders: ok"
