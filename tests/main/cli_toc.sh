#!/usr/bin/env bash
# sornaval-cli toc lists a disc image's CD-TEXT (its sheet's TITLE and
# PERFORMER lines, served by the virtual drive), in JSON and as text, and
# says nothing of CD-TEXT for a disc without it.
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
echo "toc with CD-TEXT: ok"
