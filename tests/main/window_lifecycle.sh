#!/usr/bin/env bash
# Starts the window program on empty data and config folders, checks that a
# second start ends at once with status 0, ends the first with SIGTERM and
# checks what its shutdown wrote.
set -u
program=$1
work=$(mktemp -d)
trap 'kill -9 $pid 2>/dev/null; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fail() { echo "FAIL: $*"; exit 1; }

"$program" &
pid=$!
for _ in $(seq 1 100); do
  [ -f "$XDG_DATA_HOME/sornaval/lang/russian.lng" ] && break
  sleep 0.1
done
[ -f "$XDG_DATA_HOME/sornaval/lang/russian.lng" ] || fail "the first copy did not start"
sleep 0.5

start=$(date +%s%N)
timeout 5 "$program"
status=$?
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$status" -eq 0 ] || fail "the second copy ended with $status"
[ "$elapsed" -lt 1000 ] || fail "the second copy took ${elapsed} ms"
kill -0 "$pid" 2>/dev/null || fail "the first copy did not keep running"

kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "the first copy ended with $status after SIGTERM"
size=$(stat -c %s "$XDG_DATA_HOME/sornaval/setting/set.dat" 2>/dev/null || echo 0)
[ "$size" -eq 1208 ] || fail "set.dat has $size bytes"
# The defaults: MP3 output, read speed 30, volume 255, "Russian".
bytes=$(od -An -tu1 -j270 -N3 "$XDG_DATA_HOME/sornaval/setting/set.dat" | tr -s ' ')
[ "$bytes" = " 1 0 30" ] || fail "OutputFormat/CurrentDrive/ReadSpeed are '$bytes'"
[ "$(od -An -tu1 -j440 -N1 "$XDG_DATA_HOME/sornaval/setting/set.dat" | tr -d ' ')" = 255 ] || fail "volume"
[ "$(dd if="$XDG_DATA_HOME/sornaval/setting/set.dat" bs=1 skip=866 count=7 2>/dev/null)" = Russian ] || fail "language"
grep -q '^;99:Файл lame_enc.dll поврежден!$' "$XDG_DATA_HOME/sornaval/lang/russian.lng" || fail "R99"
[ "$(sed -n '/^#R$/,$p' "$XDG_DATA_HOME/sornaval/lang/russian.lng" | grep -c '^;[0-9][0-9]:')" -eq 100 ] || fail "R00..R99"
echo "window lifecycle: ok (second copy ${elapsed} ms)"
