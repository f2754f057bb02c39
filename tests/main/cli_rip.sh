#!/usr/bin/env bash
# sornaval-cli rip on the demo disc: WAV files of exactly the tracks' sizes,
# MP3 and Ogg files that an independent decoder reads back at the tracks'
# lengths, a refused format, and an output folder that cannot be made.
. "$(dirname "$0")/cli_setup.sh"

"$cli" rip --demo --format wav --tracks 1,3 --output-dir "$work/wav" >/dev/null || fail "WAV grab status $?"
mapfile -t wavs < <(find "$work/wav" -name '*.wav' | sort)
[ "${#wavs[@]}" -eq 2 ] || fail "expected 2 WAV files, found ${#wavs[@]}"
[ "$(stat -c %s "${wavs[0]}")" -eq $((3000 * 2352 + 48)) ] || fail "track 1 WAV size"
[ "$(stat -c %s "${wavs[1]}")" -eq $((2625 * 2352 + 48)) ] || fail "track 3 WAV size"

"$cli" rip --demo --format mp3 --tracks 2 --output-dir "$work/mp3" >/dev/null || fail "MP3 grab status $?"
mp3=$(find "$work/mp3" -name '*.mp3' | head -n 1)
[ -n "$mp3" ] || fail "no MP3 file"
if command -v ffmpeg >/dev/null; then
  samples=$(ffmpeg -v error -i "$mp3" -f s16le -ac 2 - | wc -c)
  [ "$samples" -eq $((2250 * 2352)) ] || fail "MP3 decodes to $samples bytes, not $((2250 * 2352))"
fi

"$cli" rip --demo --format ogg --tracks 3 --output-dir "$work/ogg" >/dev/null || fail "Ogg grab status $?"
ogg=$(find "$work/ogg" -name '*.ogg' | head -n 1)
[ -n "$ogg" ] || fail "no Ogg file"
if command -v ffmpeg >/dev/null; then
  bytes=$(ffmpeg -v error -i "$ogg" -f s16le -ac 2 - | wc -c)
  [ "$bytes" -eq $((2625 * 2352)) ] || fail "Ogg decodes to $bytes bytes, not $((2625 * 2352))"
fi
"$cli" rip --demo --format opus --output-dir "$work/opus" >/dev/null 2>&1
[ $? -eq 2 ] || fail "a format that is not there was not a usage error"
# FLAC: the tool itself tests the file, which decodes to exactly the WAV grab's audio of the track.
"$cli" rip --demo --format flac --flac-level 8 --tracks 1 --output-dir "$work/flac" >/dev/null || fail "FLAC grab status $?"
flacfile=$(find "$work/flac" -name '*.flac' | head -n 1)
[ -n "$flacfile" ] || fail "no FLAC file"
if command -v flac >/dev/null; then
  flac -t -s "$flacfile" || fail "flac -t refuses the file"
  metaflac --show-tag=TRACKNUMBER "$flacfile" | grep -qx 'TRACKNUMBER=1' || fail "no TRACKNUMBER comment"
  # The demo disc's MusicBrainz id, worked out with Python's hashlib.
  metaflac --show-tag=MUSICBRAINZ_DISCID "$flacfile" | grep -qx 'MUSICBRAINZ_DISCID=HMkp3HooV7DxCtsykPa.T_UGA_I-' ||
    fail "no MusicBrainz disc id comment"
  cmp -s <(flac -d -s -c --force-raw-format --endian=little --sign=signed "$flacfile") <(tail -c +49 "${wavs[0]}") \
    || fail "the FLAC file does not decode to the track's audio"
fi
# A fresh account: no music folder yet. It is made and named.
HOME=$work/home "$cli" --lang english rip --demo --format wav --tracks 4 >"$work/out" 2>"$work/err" || fail "fresh-account grab status $?"
grep -q 'created the output folder' "$work/err" || fail "the new music folder was not announced"
[ -f "$work/home/Music/Unknown artist/Unknown album/Track 4.wav" ] || fail "no file in the new music folder"
grep -q '^04 Track 4: Copied$' "$work/out" || fail "--lang english did not give English messages"

touch "$work/file"
"$cli" rip --demo --format wav --tracks 1 --output-dir "$work/file/sub" >/dev/null 2>&1 && fail "an impossible folder succeeded"
echo "cli rip: ok"
