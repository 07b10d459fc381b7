#!/usr/bin/env bash
# The first start, as after a fresh clone and as an installed copy: no error box holds it up,
# the document is read by itself and its bookmark is kept. The build places an empty bookmark
# file beside the default settings; the first use of an installed copy, kven-read or the window,
# makes the user's data folder with the settings, the bookmark file and the dictionary. SIGTERM
# and SIGHUP keep the bookmark as closing does.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
require_sound_server
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
gone() { local i; for i in $(seq 1 120); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done; return 1; }
position() { grep -a "^$2," "$1" 2>/dev/null | tail -n 1 | cut -d, -f2 | tr -d '\r'; }

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
# Test copies stay off the desktop's own session bus.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
unset KVEN_HOME XDG_DATA_HOME
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
doc="$work/a.txt"
for i in $(seq 1 50); do sjis "吾輩は猫である。第${i}段の名前はまだ無い。\r\n"; done >"$doc"

# Starts `kven` on the document, lets it read, and closes it by starting it again; prints
# nothing, leaves the bookmark file written.
read_a_while() {
  "$1" "$doc" 2>>"$work/err" &
  local first=$!
  pids+=("$first")
  sleep 3
  "$1" 2>>"$work/err" &
  pids+=("$!")
  gone "$first"
  sleep 1
  kill "${pids[-1]}" 2>/dev/null
  wait "${pids[-1]}" 2>/dev/null
}

# As a build leaves it: the executable, its voices, and what the build put beside them.
fresh="$work/fresh"
mkdir -p "$fresh"
cp "${KVEN_BIN:?}/kven" "$fresh/"
ln -s "$KVEN_BIN/voices" "$fresh/voices"
check "the build places an empty bookmark file" test -f "$KVEN_BIN/KVEN.txt"
cp "$KVEN_BIN/KVEN.ini" "$fresh/"
[ -f "$KVEN_BIN/KVEN.txt" ] && : >"$fresh/KVEN.txt"
read_a_while "$fresh/kven"
p="$(position "$fresh/KVEN.txt" "$doc")"
check "a fresh build reads by itself and keeps its bookmark (${p:-none})" test "${p:-0}" -gt 0

# An installed copy keeps its files in the user's data folder, made at the first use of either
# program with all three files, so that kven-read reads as the build copy with the shipped
# settings and dictionary does.
cmake --install "$KVEN_BIN" --prefix "$work/inst" >/dev/null
shipped="$work/inst/share/kven"
check "the bookmark file is installed beside the default settings" test -f "$shipped/KVEN.txt"
data="$HOME/.local/share/KVEN"
words="$work/words.txt"
sjis "設定はusrの下、MeCabで読む。\r\n" >"$words"
mkdir -p "$work/shipped"
cp "$KVEN_SOURCE_DIR/data/KVEN.ini" "$KVEN_SOURCE_DIR/data/KVEN.dic" "$work/shipped/"
KVEN_HOME="$work/shipped" "$KVEN_BIN/kven-read" --dump "$words" >"$work/expected" 2>/dev/null
"$work/inst/bin/kven-read" --dump "$words" >"$work/installed" 2>"$work/read-err"
check "the installed kven-read says what the build copy says" cmp -s "$work/expected" "$work/installed"
check "with the shipped dictionary" grep -q ユーザー "$work/installed"
check "and without a warning: $(head -c 300 "$work/read-err")" test ! -s "$work/read-err"
for f in KVEN.ini KVEN.txt KVEN.dic; do
  check "its first use made the data folder with $f" cmp -s "$data/$f" "$shipped/$f"
done
rm -rf "$data"
read_a_while "$work/inst/bin/kven"
check "the installed window made its data folder with the settings" cmp -s "$data/KVEN.ini" "$shipped/KVEN.ini"
check "and the dictionary" cmp -s "$data/KVEN.dic" "$shipped/KVEN.dic"
p="$(position "$data/KVEN.txt" "$doc")"
check "and reads by itself, keeping its bookmark there (${p:-none})" test "${p:-0}" -gt 0

# The end of the session (a signal from the session manager or a hang-up) keeps the bookmark
# as closing the window does.
for sig in TERM HUP; do
  "$work/inst/bin/kven" "$doc" 2>>"$work/err" &
  copy=$!
  pids+=("$copy")
  sleep 3
  kill -s "$sig" "$copy"
  check "SIG$sig ends the window" gone "$copy"
  before="${p:-0}"
  p="$(position "$data/KVEN.txt" "$doc")"
  check "and its bookmark moved on ($before -> ${p:-none})" test "${p:-0}" -gt "$before"
done

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
