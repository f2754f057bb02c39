#!/usr/bin/env bash
# sornaval-cli toc lists a disc image's CD-TEXT (its sheet's TITLE and
# PERFORMER lines, served by the virtual drive), in JSON and as text, and
# says nothing of CD-TEXT for a disc without it; discid gives the MusicBrainz id.
. "$(dirname "$0")/cli_setup.sh"

head -c $((300 * 2352)) /dev/zero >"$work/disc.bin"
cat >"$work/disc.cue" <<'CUE'
PERFORMER "Various"
TITLE "Café Songs"
FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    TITLE "Première"
    PERFORMER "Various"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Back\slash"
    PERFORMER "Guest"
    INDEX 01 00:02:00
CUE
json=$("$cli" toc --image "$work/disc.cue" --json) || fail "toc --json status $?"
grep -qxF '  "cdtext": {"album": "Café Songs", "performer": "Various",' <<<"$json" || fail "no disc CD-TEXT in: $json"
grep -qxF '    "titles": ["Première", "Back\\slash"],' <<<"$json" || fail "no titles in: $json"
grep -qxF '    "performers": ["Various", "Guest"]}' <<<"$json" || fail "no performers in: $json"
text=$("$cli" toc --image "$work/disc.cue") || fail "toc status $?"
grep -qxF '2  "Back\slash"  by "Guest"' <<<"$text" || fail "no track line in: $text"
"$cli" toc --demo --json | grep -q cdtext && fail "the demo disc has no CD-TEXT"
# The six-track disc of MusicBrainz's description of its disc id (a sparse
# image of its length), with the identifier published there.
truncate -s 224173824 "$work/six.bin"
printf 'FILE "six.bin" BINARY\n' >"$work/six.cue"
n=1; for at in 00:00:00 03:22:63 07:08:64 10:19:17 14:03:39 17:51:14; do
  printf '  TRACK %02d AUDIO\n    INDEX 01 %s\n' $n $at >>"$work/six.cue"; n=$((n + 1))
done
ids=$("$cli" discid --image "$work/six.cue" --json) || fail "discid status $?"
grep -qF '"musicbrainz": "49HHV7Eb8UKF3aQiNmu1GR8vKTY-"' <<<"$ids" || fail "MusicBrainz id in: $ids"
echo "toc with CD-TEXT, disc ids: ok"
