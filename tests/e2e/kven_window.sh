#!/usr/bin/env bash
# The kven window end to end, offscreen, speaking into the private sound server: a document
# named on the command line is read aloud by itself and the cursor walks; a second start makes
# the running copy write its bookmark and exit before the new copy reads that file, and the
# new copy resumes where the first one's cursor stood; a socket left by a killed copy does
# not block a start.
set -uo pipefail
bin="${KVEN_BIN:?}/kven"
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
require_sound_server
work="$(mktemp -d)"
pids=()
recorder=""
cleanup() {
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
# Waits up to 12 s for a process to end.
gone() { local i; for i in $(seq 1 120); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done; return 1; }
# The cursor the bookmark file holds for a document.
position() { grep -a "^$1," "$KVEN_HOME/KVEN.txt" | tail -n 1 | cut -d, -f2 | tr -d '\r'; }
lines_for() { grep -ac "^$1," "$KVEN_HOME/KVEN.txt"; }

export QT_QPA_PLATFORM=offscreen
export KVEN_HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
# A session bus that cannot be reached: the window runs as it does without one, and the copies
# stay off the desktop's bus.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
mkdir -p "$KVEN_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cp "${KVEN_SOURCE_DIR:?}/data/KVEN.ini" "$KVEN_HOME/KVEN.ini"
: >"$KVEN_HOME/KVEN.txt"

doc="$work/a.txt"
for i in $(seq 1 200); do sjis "吾輩は猫である。第${i}段の名前はまだ無い。\r\n"; done >"$doc"

parec -d "$KVEN_TEST_SINK.monitor" --rate=48000 --channels=1 --format=s16le --raw >"$work/rec.raw" &
recorder=$!
"$bin" "$doc" 2>"$work/err1" &
first=$!
pids+=("$first")
sleep 4
kill "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null
recorder=""
rms=$(python3 -c '
import array, math, sys
a = array.array("h", open(sys.argv[1], "rb").read())
print(int(math.sqrt(sum(x * x for x in a) / len(a))) if a else 0)' "$work/rec.raw")
echo "recorded while the first copy read: RMS $rms"
check "the window's reading reaches the sound server" test "$rms" -gt 300

"$bin" "$doc" 2>"$work/err2" &
second=$!
pids+=("$second")
check "the running copy closes when a second one starts" gone "$first"
wait "$first"
check "and exits 0" test $? -eq 0
p1="$(position "$doc")"
check "reading started by itself and the cursor advanced (${p1:-none})" test "${p1:-0}" -gt 0

sleep 2
"$bin" 2>/dev/null &
third=$!
pids+=("$third")
check "the second copy closes in turn" gone "$second"
p2="$(position "$doc")"
check "the second copy resumed where the first stood (${p1:-none} -> ${p2:-none})" test "${p2:-0}" -gt "${p1:-0}"
check "one bookmark line per document" test "$(lines_for "$doc")" -eq 1

# A copy killed outright leaves its socket behind; the next start is not held up by it.
sleep 1
kill -9 "$third"
wait "$third" 2>/dev/null
check "a killed copy leaves its socket" test -S "$XDG_RUNTIME_DIR/TForm1"
started=$(date +%s%N)
"$bin" "$doc" 2>/dev/null &
fourth=$!
pids+=("$fourth")
sleep 2
check "a new copy runs despite the stale socket" kill -0 "$fourth"
"$bin" 2>/dev/null &
fifth=$!
pids+=("$fifth")
check "and answers the next hand-over" gone "$fourth"
took=$(( ($(date +%s%N) - started) / 1000000 ))
check "without waiting for the dead copy (${took} ms)" test "$took" -lt 8000
kill "$fifth" 2>/dev/null

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
