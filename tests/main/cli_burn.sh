#!/usr/bin/env bash
# burn and blank on the virtual writers of virtual.lst: a disc that reads back
# with the files' lengths and their titles as CD-TEXT (none with --no-cdtext
# or when the burn settings switch it off), a test burn that writes nothing, a
# disc too small, a WAV image with its cue
# file, blanking; exit 0 only for what completed.
set -u
cli=$1
fail() { echo "FAIL: $*"; exit 1; }
d=$(mktemp -d); trap 'rm -rf "$d"' EXIT
export XDG_DATA_HOME=$d/data XDG_CONFIG_HOME=$d/config
mkdir -p "$d/data/sornaval/setting"
printf 'writer cdrw folder "%s/burns"\nwriter cdr capacity 200 folder "%s/burns"\n' "$d" "$d" \
  >"$d/data/sornaval/setting/virtual.lst"
sox -n -r 44100 -c 2 -b 16 "$d/a.wav" synth 2 sine 440 gain -6
sox -n -r 22050 -c 1 -b 16 "$d/b.wav" synth 1 sine 300 gain -6
lame --quiet --tt "Third Song" --ta "Some Band" "$d/a.wav" "$d/c.mp3"
# 2 s = 150 sectors, 1 s = 75 sectors; the MP3's frames (the source's 2 s with
# LAME's delay and padding: 78 frames of 1152 samples) fill 153 sectors.
"$cli" burn --test "$d/a.wav" >/dev/null || fail "test burn"
[ ! -e "$d/burns/burn-001.bin" ] || fail "a test burn wrote a disc"
"$cli" burn --drive 1 "$d/a.wav" "$d/c.mp3" >/dev/null 2>&1; [ $? -eq 1 ] || fail "300 sectors on a disc of 200"
"$cli" burn --speed 16 --sectors-per-write 7 "$d/a.wav" "$d/b.wav" "$d/c.mp3" >/dev/null || fail "burn"
toc=$("$cli" toc --image "$d/burns/burn-001.cue") || fail "toc"
grep -q "tracks: 3, lead-out LBA 378" <<<"$toc" || fail "burned disc: $toc"
grep -Eq "^ +3 +225 " <<<"$toc" || fail "track 3's start: $toc"
grep -q '^CD-TEXT: album "", performer ""$' <<<"$toc" && grep -q '^1  "a"$' <<<"$toc" && grep -q '^2  "b"$' <<<"$toc" &&
  grep -q '^3  "Third Song"  by "Some Band"$' <<<"$toc" || fail "CD-TEXT of the burned disc: $toc"
# The burned disc is still in the writer (reading drive 1) when the program runs again.
toc=$("$cli" toc --drive 1) || fail "the burned disc left the drive"
grep -q "tracks: 3, lead-out LBA 378" <<<"$toc" || fail "disc in the drive: $toc"
"$cli" burn --image-out "$d/img.wav" --cue "$d/a.wav" "$d/b.wav" >/dev/null || fail "image"
[ "$(stat -c %s "$d/img.wav")" -eq $((48 + 225 * 2352)) ] || fail "image size"
[ "$(printf 'FILE "img.wav" WAVE\n\tTRACK 01 AUDIO\n\t\tINDEX 01 00:00:00\n\tTRACK 02 AUDIO\n\t\tINDEX 01 00:02:00\n')" \
  = "$(cat "$d/img.cue")" ] || fail "cue file: $(cat "$d/img.cue")"
[ "$(ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 "$d/img.wav")" = $((225 * 588)) ] || fail "image header"
"$cli" blank --minimal --drive 0 >/dev/null || fail "blank"
"$cli" toc --drive 1 >/dev/null 2>&1 && fail "a blanked disc still reads"
"$cli" burn --no-cdtext "$d/b.wav" >/dev/null || fail "burn --no-cdtext"
toc=$("$cli" toc --drive 1) || fail "toc after burn --no-cdtext"
grep -q "CD-TEXT" <<<"$toc" && fail "CD-TEXT despite --no-cdtext: $toc"
[ ! -e "$d/burns/burn-002.cdt" ] || fail "a .cdt despite --no-cdtext"
"$cli" blank --minimal --drive 0 >/dev/null || fail "blank again"
# CD-TEXT switched off in the burn settings holds for the command line too.
echo "cdtext=0" >"$d/data/sornaval/setting/wset-extra.txt"
"$cli" burn "$d/c.mp3" >/dev/null || fail "burn with CD-TEXT off in the settings"
"$cli" toc --drive 1 | grep -q "CD-TEXT" && fail "CD-TEXT despite the settings"
"$cli" blank --minimal --drive 0 >/dev/null || fail "blank a third time"
"$cli" blank --drive 1 >/dev/null 2>&1; [ $? -eq 1 ] || fail "blanked a CD-R"
"$cli" burn --drive 7 "$d/a.wav" >/dev/null 2>&1; [ $? -eq 1 ] || fail "no drive 7"
"$cli" burn --frobnicate "$d/a.wav" >/dev/null 2>&1; [ $? -eq 2 ] || fail "unknown option"
# The two writers are marked as writers, the demo drive is not.
drives=$("$cli" drives --json) || fail "drives"
[ "$(grep -c '"writer": true' <<<"$drives")" -eq 2 ] && [ "$(grep -c '"writer": false' <<<"$drives")" -eq 1 ] ||
  fail "drives --json: $drives"
echo "cli burn: ok"
