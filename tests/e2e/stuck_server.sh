#!/usr/bin/env bash
# kven-read against a sound server of its own that stops answering (SIGSTOP) or dies in the
# middle of an utterance: Ctrl+C still ends the program at once, and without it the program
# ends by itself with one clear message; once the server is back, reading works again.
set -uo pipefail
bin="${KVEN_BIN:?}/kven-read"
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
. "${KVEN_SOURCE_DIR:?}/scripts/pulse-test-server"
if ! command -v pulseaudio >/dev/null 2>&1; then
  echo "pulseaudio is not installed (scripts/test installs it)"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
work="$(mktemp -d)"
cleanup() { kill -CONT "${KVEN_PULSE_PID:-0}" 2>/dev/null; kven_pulse_stop; rm -rf "$work"; }
trap cleanup EXIT
export KVEN_HOME="$work"
cp "$KVEN_SOURCE_DIR/data/KVEN.ini" "$work/KVEN.ini"
: >"$work/KVEN.txt"
long="$work/long.txt"
for i in $(seq 1 20); do sjis '吾輩は猫である。名前はまだ無い。\r\n'; done >"$long"
short="$work/short.txt"
sjis 'はい。\r\n' >"$short"
kven_pulse_start || { echo "the private sound server did not start"; exit 1; }

ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# Runs kven-read on the long text, does "$@" once it is speaking, and waits for it (at most
# 20 s); sets rc, took (ms from the action to the end) and err.
run_and() {
  "$bin" "$long" 2>"$work/err" &
  local pid=$! start i
  sleep 2
  "$@"
  start=$(date +%s%N)
  for i in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid"; rc=$?
  took=$(ms_since "$start")
  err="$(cat "$work/err")"
}

# Stopped server, then Ctrl+C.
run_and eval 'kill -STOP $KVEN_PULSE_PID; sleep 0.5; kill -INT $pid'
check "Ctrl+C with a stopped server exits 130 (rc $rc)" test "$rc" -eq 130
check "Ctrl+C with a stopped server ends within a second (${took} ms)" test "$took" -lt 1000
kill -CONT "$KVEN_PULSE_PID"

# Stopped server and nobody there: one message, exit 1, within the output's bound.
run_and kill -STOP "$KVEN_PULSE_PID"
echo "stopped server: exit $rc after ${took} ms: $err"
check "a stopped server ends reading with exit 1 (rc $rc)" test "$rc" -eq 1
check "within seconds (${took} ms)" test "$took" -lt 8000
# When the server stops after it has taken all of an utterance's sound, the end of that
# utterance is given up on first, with its warning, and the next one finds the server gone.
check "one failure naming the sound output" test "$(grep -v 'warning\|再生の終わりを知らせません' <<<"$err" | grep -c '音声出力')" -eq 1
kill -CONT "$KVEN_PULSE_PID"
"$bin" "$short" 2>"$work/err"; rc=$?
check "reading works once the server answers again (rc $rc)" test "$rc" -eq 0

# The window reading with the server stopped: a close request (a new copy starting) still
# ends it within a second or so.
if [ -x "$KVEN_BIN/kven" ]; then
  export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  "$KVEN_BIN/kven" "$long" 2>/dev/null &
  window=$!
  sleep 3
  kill -STOP "$KVEN_PULSE_PID"
  sleep 0.5
  start=$(date +%s%N)
  "$KVEN_BIN/kven" 2>/dev/null &
  second=$!
  for i in $(seq 1 100); do kill -0 "$window" 2>/dev/null || break; sleep 0.05; done
  took=$(ms_since "$start")
  check "the window closes on request with the server stopped (${took} ms)" test "$took" -lt 2500
  kill -KILL "$window" "$second" 2>/dev/null
  wait "$window" "$second" 2>/dev/null
  kill -CONT "$KVEN_PULSE_PID"
fi

# Server killed in mid-utterance, then started again.
run_and eval 'kill -KILL $KVEN_PULSE_PID; wait $KVEN_PULSE_PID 2>/dev/null'
echo "killed server: exit $rc after ${took} ms: $err"
check "a killed server ends reading with exit 1 (rc $rc)" test "$rc" -eq 1
check "at once (${took} ms)" test "$took" -lt 2000
check "one message naming the sound output" test "$(grep -c '音声出力' <<<"$err")" -eq 1
kven_pulse_stop
kven_pulse_start || { echo "the private sound server did not start again"; exit 1; }
"$bin" "$short" 2>"$work/err"; rc=$?
check "reading works with the server started again (rc $rc)" test "$rc" -eq 0

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
