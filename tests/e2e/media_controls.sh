#!/usr/bin/env bash
# The desktop's media controls end to end: the kven window offscreen on a private session bus,
# driven with dbus-send as a media key or a panel's player widget drives it, speaking into the
# private sound server. Play/pause pauses reading (play says the chunk cut off again) and starts
# it, stop stops it, next and previous move the reading position a chunk at a time, the
# playback status follows with its change signals, the title is the document's file name, and
# Quit closes the window, which writes the bookmark.
set -uo pipefail
bin="${KVEN_BIN:?}/kven"
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
skip() {
  echo "$1 (scripts/test installs it)"
  [ -n "${CI:-}" ] && exit 1
  exit 77
}
for tool in dbus-run-session dbus-send dbus-monitor parec; do
  command -v "$tool" >/dev/null || skip "$tool is missing"
done
[ -x /usr/bin/open_jtalk ] || skip "the synthesizer is missing"
compgen -G "$KVEN_BIN/voices/*/*.htsvoice" >/dev/null || skip "no voices beside $bin"
require_sound_server
# The rest runs on a bus of its own, which ends with it.
if [ -z "${KVEN_PRIVATE_BUS:-}" ]; then
  KVEN_PRIVATE_BUS=1 exec dbus-run-session -- bash "${BASH_SOURCE[0]}"
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
# Waits up to 12 s for a process to end.
gone() { local i; for i in $(seq 1 120); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done; return 1; }
player=(--session --print-reply --reply-timeout=5000 --dest=org.mpris.MediaPlayer2.kven /org/mpris/MediaPlayer2)
call() { dbus-send "${player[@]}" "org.mpris.MediaPlayer2.$1" >/dev/null; }  # interface.method
property() { dbus-send "${player[@]}" org.freedesktop.DBus.Properties.Get string:"$1" string:"$2"; }
status() { property org.mpris.MediaPlayer2.Player PlaybackStatus 2>/dev/null | sed -n 's/.*variant *string "\(.*\)"$/\1/p'; }
# Waits up to 10 s for the playback status; a command runs once its call has been answered.
status_becomes() { local i; for i in $(seq 1 100); do [ "$(status)" = "$1" ] && return 0; sleep 0.1; done; return 1; }
owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.mpris.MediaPlayer2.kven 2>/dev/null | grep -q 'boolean true'
}
name_owned() { local i; for i in $(seq 1 100); do owned && return 0; sleep 0.1; done; return 1; }
# The RMS of the recording so far and of its loudest 10 ms.
loudness() {
  python3 - "$work/rec.raw" <<'PY'
import array, math, sys
data = open(sys.argv[1], "rb").read()
a = array.array("h", data[: len(data) // 2 * 2])
rms = lambda s: math.sqrt(sum(x * x for x in s) / len(s)) if s else 0
print(int(rms(a)), int(max((rms(a[i : i + 480]) for i in range(0, len(a), 480)), default=0)))
PY
}
# Waits up to 60 s for speech in the sink (a block louder than RMS 300).
heard() { local i; for i in $(seq 1 120); do [ "$(loudness | cut -d' ' -f2)" -gt 300 ] && return 0; sleep 0.5; done; return 1; }

export QT_QPA_PLATFORM=offscreen
export KVEN_HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$KVEN_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cp "${KVEN_SOURCE_DIR:?}/data/KVEN.ini" "$KVEN_HOME/KVEN.ini"
: >"$KVEN_HOME/KVEN.txt"

# One chunk per line, each spoken for about 25 s, so that reading never moves on by itself
# while the test drives it.
doc="$work/吾輩.txt"
for i in $(seq 1 12); do
  sjis "第${i}段"
  for j in 1 2; do
    sjis "　吾輩は猫である　名前はまだ無い　どこで生れたかとんと見当がつかぬ　"
    sjis "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している"
  done
  sjis "\r\n"
done >"$doc"
# Where each chunk starts, as the window reads them.
mapfile -t starts < <("$KVEN_BIN/kven-read" --dump "$doc" | cut -f1)

dbus-monitor --session "type='signal',path='/org/mpris/MediaPlayer2',member='PropertiesChanged'" >"$work/signals" &
pids+=("$!")
parec -d "$KVEN_TEST_SINK.monitor" --rate=48000 --channels=1 --format=s16le --raw >"$work/rec.raw" &
recorder=$!
pids+=("$recorder")
sleep 0.3

"$bin" "$doc" 2>/dev/null &
kven=$!
pids+=("$kven")
check "the window takes the player's name on the session bus" name_owned
check "a document named at the start is being read" status_becomes Playing
property org.mpris.MediaPlayer2.Player Metadata >"$work/metadata" 2>&1
check "the title is the document's name, its lines being no title" grep -q 'variant *string "吾輩"' "$work/metadata"

check "the reading reaches the sound server" heard
# Reading stands on the first chunk: play/pause pauses it and says it again from its start.
call Player.PlayPause
check "play/pause pauses reading" status_becomes Paused
call Player.PlayPause
check "play/pause starts reading" status_becomes Playing
# Each step waits until the utterance cut off has ended and the next chunk is handed over.
call Player.Next
sleep 3
call Player.Next
sleep 3
call Player.Previous
sleep 3
call Player.Stop
check "stop stops reading" status_becomes Stopped
check "the status changes were signalled" \
  test "$(grep -c 'variant *string "Playing"' "$work/signals")" -ge 2 -a \
  "$(grep -c 'variant *string "Paused"' "$work/signals")" -ge 1 -a \
  "$(grep -c 'variant *string "Stopped"' "$work/signals")" -ge 1

call Quit
check "Quit closes the window" gone "$kven"
# Still there only when Quit failed.
kill -9 "$kven" 2>/dev/null
wait "$kven"
check "and the window exits 0" test $? -eq 0
kill "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null

key="$(printf '%s' "$doc" | iconv -f UTF-8 -t CP932)"
at="$(grep -a "^$key," "$KVEN_HOME/KVEN.txt" | tail -n 1 | cut -d, -f2 | tr -d '\r')"
# The first again, next, next (the third), previous: the second was read last, and Stop left
# the cursor after it.
check "first again, next, next, previous: the second chunk was read last (bookmark ${at:-none}, chunk ends ${starts[*]:1:4})" \
  test "${at:-none}" = "${starts[2]:-unknown}"

echo "recorded while the window read: RMS and loudest 10 ms $(loudness)"

# A flood of calls, as from a held-down media key: the window still answers at once, runs no
# more synthesizers than reading does, ends in the state asked for last, and Quit works.
"$bin" "$doc" 2>/dev/null &
kven=$!
pids+=("$kven")
check "the window is back on the bus" name_owned
check "and reading" status_becomes Playing
synthesizers() { # the most open_jtalk processes of the window seen at once, until $1 exists
  local most=0 n
  while [ ! -e "$1" ]; do
    n="$(pgrep -c -P "$kven" -x open_jtalk)"
    [ "$n" -gt "$most" ] && most=$n
    sleep 0.02
  done
  echo "$most"
}
synthesizers "$work/flooded" >"$work/most" &
answer="$(/usr/bin/python3 - <<'PY'
import time, dbus
bus = dbus.SessionBus()
player = bus.get_object("org.mpris.MediaPlayer2.kven", "/org/mpris/MediaPlayer2", introspect=False)
for _ in range(5001):
    player.PlayPause(dbus_interface="org.mpris.MediaPlayer2.Player", ignore_reply=True)
start = time.monotonic()
status = player.Get("org.mpris.MediaPlayer2.Player", "PlaybackStatus",
                    dbus_interface="org.freedesktop.DBus.Properties", timeout=60)
print(int((time.monotonic() - start) * 1000), status)
PY
)"
sleep 1
: >"$work/flooded"
wait $!
echo "after 5001 play/pause calls: the status answered in ${answer% *} ms; at most $(cat "$work/most") synthesizer(s) at once"
check "after 5001 play/pause calls the window answers (${answer:-no answer})" test -n "$answer"
check "the last call wins: an odd number from reading leaves it paused" status_becomes Paused
# The utterance being said and the one synthesized ahead: never one more per call.
check "two synthesizers at most ran at a time" test "$(cat "$work/most")" -le 2
call Quit
check "Quit closes the window after the flood" gone "$kven"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
