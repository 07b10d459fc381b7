#!/usr/bin/env bash
# One running copy of the kven window under load and hostility, offscreen. Starts in a row
# and in bursts end with exactly one copy and every document's bookmark line; a copy still in
# its creation sequence is not taken over; the socket and its folder are owner-only; peers
# that send junk, nothing or a flood, or open connections by the hundred, leave the running
# copy acting only on the close request; a stale socket or a file in its place does not block
# a start. Reading is silent (the skip list takes every chunk), so no sound server is needed.
# Prints the figures it measures.
set -uo pipefail
bin="${KVEN_BIN:?}/kven"
here="$(dirname "${BASH_SOURCE[0]}")"
. "$here/../support/checks.sh"
peer() { python3 "$here/../support/handover_peer.py" "$@"; }
command -v python3 >/dev/null || { echo "python3 is missing: no peers to play"; exit 77; }
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

export QT_QPA_PLATFORM=offscreen KVEN_HOME="$work/home" TMPDIR="$work/tmp"
# Without a runtime folder the copies make their own owner-only folder. They stay off the
# desktop's session bus.
unset XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS
mkdir -p "$KVEN_HOME" "$TMPDIR"
{ cat "${KVEN_SOURCE_DIR:?}/data/KVEN.ini"; sjis "。\r\n"; } >"$KVEN_HOME/KVEN.ini"
folder="$TMPDIR/kven-$(id -u)"
socket="$folder/TForm1"

launch() { "$bin" "$@" 2>>"$work/stderr" & pids+=("$!"); }
alive() { local n=0 p; for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && n=$((n + 1)); done; echo "$n"; }
# Waits up to $1 seconds until at most one started copy is left.
settle() { local i; for i in $(seq 1 $(($1 * 10))); do [ "$(alive)" -le 1 ] && return 0; sleep 0.1; done; return 1; }
# Waits up to 15 s for a process to end.
gone() { local i; for i in $(seq 1 150); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done; return 1; }
survivor() { local p; for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && echo "$p"; done | tail -n 1; }
document() { sjis "$1の文書です。\r\n" >"$work/$1.txt"; echo "$work/$1.txt"; }
docs=()

# A copy held in its creation sequence (the bookmark file is missing: an error box waits) is
# not taken over: the next start leaves the name to it.
rm -f "$KVEN_HOME/KVEN.txt"
launch "$(document first)"
for i in $(seq 1 50); do [ -S "$socket" ] && break; sleep 0.1; done
before="$(stat -c %i "$socket" 2>/dev/null)"
launch "$(document second)"
sleep 12
check "a copy in its creation sequence keeps the name (${before:-none} -> $(stat -c %i "$socket" 2>/dev/null))" \
  test -n "$before" -a "$before" = "$(stat -c %i "$socket" 2>/dev/null)"
for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
pids=()
: >"$KVEN_HOME/KVEN.txt"

# 50 starts 0.1 s apart, each with its own document.
began=$(date +%s%N)
for i in $(seq 1 50); do
  docs+=("$(document "row$i")")
  launch "${docs[-1]}"
  sleep 0.1
done
settle 90
row_left=$(alive)
row_ms=$((($(date +%s%N) - began) / 1000000))
echo "50 starts 0.1 s apart: $row_left copies left after ${row_ms} ms"
check "50 starts in a row leave one copy ($row_left)" test "$row_left" -eq 1

# Bursts of simultaneous starts while one copy runs.
for n in 2 3 4 5; do
  for k in $(seq 1 "$n"); do docs+=("$(document "burst${n}_$k")"); done
  for k in $(seq 1 "$n"); do launch "$work/burst${n}_$k.txt"; done
  settle 60
  left=$(alive)
  echo "burst of $n simultaneous starts: $left copies left"
  check "a burst of $n starts leaves one copy ($left)" test "$left" -eq 1
done

# The owner-only folder and socket of the copy that runs.
check "the socket's folder is owner-only ($(stat -c '%a %u' "$folder"))" test "$(stat -c '%a %u' "$folder")" = "700 $(id -u)"
owner_only() { [ "$(stat -c %u "$1")" = "$(id -u)" ] && [ $((0$(stat -c %a "$1") & 077)) -eq 0 ]; }
check "the socket is owner-only ($(stat -c '%a %u' "$socket"))" owner_only "$socket"

# A start without a document makes the last copy write its bookmark.
last="$(survivor)"
launch
check "the last copy closes for the next start" gone "$last"
sleep 1
lines=0
for d in "${docs[@]}"; do grep -aq "^$d," "$KVEN_HOME/KVEN.txt" && lines=$((lines + 1)); done
echo "bookmark lines: $lines of ${#docs[@]} documents"
check "the bookmark file holds every document's line ($lines of ${#docs[@]})" test "$lines" -eq "${#docs[@]}"

# Hostile peers against the copy that runs now.
running="$(survivor)"
rss() { awk '/VmRSS/ { print $2 }' "/proc/$1/status"; }
rss_before=$(rss "$running")
peer garbage "$socket"
check "junk lines do not close the copy" kill -0 "$running"
peer silent "$socket" >"$work/silent" &
silent=$!
sleep 0.5
read -r opened held < <(peer many "$socket" 1100)
echo "connections opened: $opened, held by the copy: $held"
check "the copy holds only a few connections at once ($held)" test "${held:-9999}" -le 8
flooded=$(peer flood "$socket")
echo "flood: $flooded bytes taken before the copy dropped the peer"
check "a flood is cut off ($flooded bytes)" test "${flooded:-0}" -lt 1048576
wait "$silent"
echo "a silent peer was dropped after $(cat "$work/silent") s"
check "a silent peer is dropped ($(cat "$work/silent"))" test "$(cat "$work/silent")" != kept
rss_after=$(rss "$running")
echo "memory of the copy: ${rss_before} kB before the peers, ${rss_after} kB after"
check "memory stays bounded (+$((rss_after - rss_before)) kB)" test $((rss_after - rss_before)) -lt 16384
check "the socket is still there" test -S "$socket"
answer=$(peer junk-then-close "$socket")
check "a close request after a junk line in the same write is answered ($answer)" test "$answer" = closed
check "and the copy has gone" gone "$running"

# A socket left by a killed copy, then a plain file in its place, do not block a start.
launch
sleep 2
victim="$(survivor)"
kill -9 "$victim"
wait "$victim" 2>/dev/null
check "a killed copy leaves its socket" test -S "$socket"
launch
sleep 2
check "a start goes on despite the stale socket" test "$(alive)" -eq 1
stale="$(survivor)"
kill -9 "$stale"
wait "$stale" 2>/dev/null
rm -f "$socket"
echo "not a socket" >"$socket"
launch
sleep 2
replaced="$(survivor)"
check "a start goes on despite a file in the socket's place" test -S "$socket" -a -n "$replaced"
launch
check "and answers the next start" gone "$replaced"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
