#!/usr/bin/env bash
# kven-read aloud: a short document played into the private sound server's null sink and
# recorded at its monitor must be heard (loud enough, for a plausible time); Ctrl+C ends the
# sound and the program.
set -uo pipefail
bin="${KVEN_BIN:?}/kven-read"
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
require_sound_server
work="$(mktemp -d)"
recorder=""
cleanup() { [ -n "$recorder" ] && kill "$recorder" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
export KVEN_HOME="$work"
cp "${KVEN_SOURCE_DIR:?}/data/KVEN.ini" "$work/KVEN.ini"

record() { # file: records the sink's monitor until stop_recording
  parec -d "$KVEN_TEST_SINK.monitor" --latency-msec=20 --rate=48000 --channels=1 --format=s16le --raw >"$1" &
  recorder=$!
  sleep 0.3
}
stop_recording() { sleep 0.3; kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; recorder=""; }
# Prints the RMS of the recording and the seconds in 10 ms blocks louder than RMS 300.
measure() {
  python3 - "$1" <<'PY'
import array, math, sys
a = array.array('h', open(sys.argv[1], 'rb').read())
if not a:
    print(0, 0); sys.exit()
rms = math.sqrt(sum(x * x for x in a) / len(a))
block = 480
loud = sum(1 for i in range(0, len(a) - block + 1, block)
           if math.sqrt(sum(x * x for x in a[i:i + block]) / block) > 300)
print(int(rms), loud * block / 48000)
PY
}

doc="$work/doc.txt"
sjis '吾輩は猫である。名前はまだ無い。\r\nどこで生れたかとんと見当がつかぬ。\r\n' >"$doc"
record "$work/rec.raw"
"$bin" "$doc" 2>"$work/err"; rc=$?
stop_recording
check "speaks and exits 0" test "$rc" -eq 0
read -r rms loud < <(measure "$work/rec.raw")
echo "recorded: RMS $rms, $loud s of sound"
check "sound came out" test "$rms" -gt 300
# Three sentences and the end line: several seconds, not a click and not a loop.
check "plausible duration" python3 -c "import sys; sys.exit(not 3.0 < $loud < 15.0)"

# Ctrl+C while speaking: the program ends at once with 130 and the sound stops.
long="$work/long.txt"
for i in $(seq 1 20); do sjis '吾輩は猫である。名前はまだ無い。\r\n'; done >"$long"
record "$work/int.raw"
"$bin" "$long" 2>/dev/null &
pid=$!
sleep 2
kill -INT "$pid"
start=$(date +%s%N)
wait "$pid"; rc=$?
took=$(( ($(date +%s%N) - start) / 1000000 ))
sleep 0.5
before=$(stat -c %s "$work/int.raw")
sleep 0.5
stop_recording
check "Ctrl+C exits 130" test "$rc" -eq 130
check "Ctrl+C ends the program promptly (${took} ms)" test "$took" -lt 1500
# What was recorded after the program ended is silence.
python3 - "$work/int.raw" "$before" <<'PY'
import array, sys
data = open(sys.argv[1], 'rb').read()[int(sys.argv[2]) // 2 * 2:]
a = array.array('h', data)
sys.exit(0 if a and max(abs(x) for x in a) < 300 else 1)
PY
check "no sound after Ctrl+C" test $? -eq 0

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
