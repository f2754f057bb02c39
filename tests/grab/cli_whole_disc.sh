#!/usr/bin/env bash
# sornaval-cli rip --whole-disc on the demo disc (tracks at 0, 3000, 5250 and
# 7875, lead-out 9750): one WAV file of every sector with its CUE sheet, one
# MP3 and one Ogg file that an independent decoder reads back at the disc's
# length, and
# the option combinations and folders that must be refused.
. "$(dirname "$0")/../main/cli_setup.sh"

"$cli" rip --demo --whole-disc --cue --format wav --output-dir "$work/wav" >"$work/out" 2>"$work/err" \
  || fail "WAV whole-disc status $? ($(cat "$work/err"))"
[ "$(find "$work/wav" -type f | wc -l)" -eq 3 ] || fail "expected the WAV file, its CUE sheet and the rip log"
[ "$(grep -c '^Track 0[1-4]$' "$work/wav/rip.log")" -eq 4 ] || fail "the rip log does not list the four tracks"
wav=$work/wav/TRACKS.wav
[ -f "$wav" ] || fail "no TRACKS.wav"
[ "$(stat -c %s "$wav")" -eq $((9750 * 2352 + 48)) ] || fail "whole-disc WAV size $(stat -c %s "$wav")"
grep -qx "$wav" "$work/out" || fail "the WAV path is not printed"
expected=$(printf 'FILE "TRACKS.wav" WAVE\n'
  printf '\tTRACK %s AUDIO\n\t\tINDEX 01 %s\n' 01 00:00:00 02 00:40:00 03 01:10:00 04 01:45:00
  printf x)
actual=$(cat "$work/wav/TRACKS.cue"; printf x)
[ "$actual" = "$expected" ] || fail "CUE sheet differs: $(cat -A "$work/wav/TRACKS.cue")"

# The per-track grab of track 3 holds the same samples as that part of the whole file.
"$cli" rip --demo --format wav --tracks 3 --output-dir "$work/one" >/dev/null 2>&1 || fail "track 3 grab status $?"
one=$(find "$work/one" -name '*.wav' | head -n 1)
cmp -s <(tail -c +49 "$one") <(tail -c +$((48 + 5250 * 2352 + 1)) "$wav" | head -c $((2625 * 2352))) \
  || fail "track 3 differs from its part of the whole-disc file"

"$cli" rip --demo --whole-disc --format mp3 --output-dir "$work/mp3" >/dev/null 2>&1 || fail "MP3 whole-disc status $?"
[ -f "$work/mp3/TRACKS.mp3" ] || fail "no TRACKS.mp3"
[ ! -e "$work/mp3/TRACKS.cue" ] || fail "a CUE sheet nobody asked for"
if command -v ffmpeg >/dev/null; then
  bytes=$(ffmpeg -v error -i "$work/mp3/TRACKS.mp3" -f s16le -ac 2 - | wc -c)
  [ "$bytes" -eq $((9750 * 2352)) ] || fail "MP3 decodes to $bytes bytes, not $((9750 * 2352))"
fi

"$cli" rip --demo --whole-disc --tracks 1 --output-dir "$work/x" >/dev/null 2>&1
[ $? -eq 2 ] || fail "--whole-disc with --tracks was not refused as a usage error"
"$cli" rip --demo --cue --output-dir "$work/x" >/dev/null 2>&1
[ $? -eq 2 ] || fail "--cue without --whole-disc was not refused as a usage error"
"$cli" rip --demo --whole-disc --format ogg --output-dir "$work/ogg" >/dev/null 2>&1 || fail "Ogg whole-disc status $?"
if command -v ffmpeg >/dev/null; then
  bytes=$(ffmpeg -v error -i "$work/ogg/TRACKS.ogg" -f s16le -ac 2 - | wc -c)
  [ "$bytes" -eq $((9750 * 2352)) ] || fail "Ogg decodes to $bytes bytes, not $((9750 * 2352))"
fi
touch "$work/file"
"$cli" rip --demo --whole-disc --format wav --output-dir "$work/file/sub" >/dev/null 2>&1 \
  && fail "an impossible folder succeeded"
echo "cli whole-disc rip: ok"
