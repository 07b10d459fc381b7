#!/usr/bin/env bash
# The settings and bookmark writers killed at random moments: afterwards each file is the old
# one or the new one, whole, and no other document's bookmark is lost; the temporaries of the
# killed writers go at the next start. Then writes that fail (a full disk at once or after a
# few bytes, a folder that is not writable) report the program's message and leave the old
# files as they were.
set -uo pipefail
helper="${KVEN_BIN:?}/tests/kven_file_writer"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
if [ ! -x "$helper" ]; then
  echo "FAIL: $helper is not built"
  exit 1
fi
home="$work/home"
mkdir -p "$home"
"$helper" init "$home"
check "the files start whole" "$helper" check "$home"

others() { find "$home" -mindepth 1 ! -name KVEN.ini ! -name KVEN.txt ! -name KVEN.lengths | wc -l; }
kills=0
losses=0
left=0
kept=0
for _ in $(seq 1 "${KVEN_KILLS:-200}"); do
  "$helper" loop "$home" &
  pid=$!
  sleep "0.0$((RANDOM % 40 + 1))"
  { kill -KILL "$pid"; wait "$pid"; } 2>/dev/null
  kills=$((kills + 1))
  if ! wrong="$("$helper" check "$home")"; then
    losses=$((losses + 1))
    [ "$losses" -le 3 ] && echo "after kill $kills: $wrong"
  fi
  n="$(others)"
  if [ "$n" -gt 0 ]; then
    left=$((left + n))
    "$helper" start "$home"
    kept=$((kept + $(others)))
  fi
done
echo "kills: $kills, losses: $losses, temporaries left by the kills: $left, kept after the next start: $kept"
check "no file lost or partial after $kills kills" test "$losses" -eq 0
check "the next start removes the killed writers' temporaries" test "$kept" -eq 0 -a "$(others)" -eq 0

# Each failing write: exit 1, the program's message, the old files byte for byte, nothing left.
cp -p "$home/KVEN.ini" "$work/ini.old"
cp -p "$home/KVEN.txt" "$work/txt.old"
fails() { # name, message file name, then the command
  local name="$1" file="$2"; shift 2
  # Through a pipe: the size limit would stop the message in a file as well.
  local err rc before
  before="$(others)"
  err="$("$@" 2>&1 >/dev/null)"; rc=$?
  check "$name: exit 1" test "$rc" -eq 1
  check "$name: the message" test "$err" = "ファイル $home/$file を作成できません."
  check "$name: the old settings file" cmp -s "$work/ini.old" "$home/KVEN.ini"
  check "$name: the old bookmark file" cmp -s "$work/txt.old" "$home/KVEN.txt"
  check "$name: no temporary left" test "$(others)" -eq "$before"
}
# The file size limit stands in for a full disk: writes past it fail (SIGXFSZ ignored).
limited() { (trap '' XFSZ; ulimit -f "$1"; shift; "$@"); }
fails "full disk, settings" KVEN.ini limited 0 "$helper" save "$home"
fails "full disk after a few bytes, settings" KVEN.ini limited 1 "$helper" save "$home"
fails "full disk, bookmarks" KVEN.txt limited 0 "$helper" leave "$home"
fails "full disk after a few bytes, bookmarks" KVEN.txt limited 1 "$helper" leave "$home"
chmod 755 "$work"
chmod 555 "$home"
as_user=()
# Root writes into any folder: the writer then runs as nobody.
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fails "folder not writable, settings" KVEN.ini "${as_user[@]}" "$helper" save "$home"
fails "folder not writable, bookmarks" KVEN.txt "${as_user[@]}" "$helper" leave "$home"
chmod 755 "$home"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
