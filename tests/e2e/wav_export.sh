#!/usr/bin/env bash
# kven-read --wav and --out: a valid WAV of the document, the same bytes with one worker or several,
# voice and rate options, and no file at all after Ctrl+C.
set -uo pipefail
bin="${KVEN_BIN:?}/kven-read"
voices="${KVEN_SOURCE_DIR:?}/voices"
if [ ! -x /usr/bin/open_jtalk ] || [ ! -f "$voices/mei/mei_normal.htsvoice" ]; then
  echo "no synthesizer or no voices in $voices (scripts/test installs both)"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
export KVEN_HOME="$work/home" KVEN_VOICES="$voices"
mkdir -p "$KVEN_HOME"
cp "$KVEN_SOURCE_DIR/data/KVEN.ini" "$KVEN_HOME/KVEN.ini"
# Prints channels, rate, bits and seconds of a WAV file.
wavinfo() { python3 -c "import wave,sys; w=wave.open(sys.argv[1]); print(w.getnchannels(), w.getframerate(), 8*w.getsampwidth(), w.getnframes()/w.getframerate())" "$1"; }

doc="$work/doc.txt"
sjis '吾輩は猫である。名前はまだ無い。\r\nどこで生れたかとんと見当がつかぬ。\r\n何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。\r\n' >"$doc"
"$bin" --wav "$work/one.wav" --jobs 1 "$doc" 2>/dev/null; rc=$?
check "--wav exits 0" test "$rc" -eq 0
read -r channels rate bits secs < <(wavinfo "$work/one.wav")
check "48 kHz mono 16-bit" test "$channels $rate $bits" = "1 48000 16"
check "plausible length ($secs s)" python3 -c "import sys; sys.exit(not 4 < $secs < 20)"
"$bin" --wav "$work/two.wav" --jobs 2 "$doc" 2>/dev/null
check "two workers write the same bytes as one" cmp -s "$work/one.wav" "$work/two.wav"
check "permissions of an ordinary file" test "$(stat -c %a "$work/one.wav")" = "$(umask -S >/dev/null; touch "$work/ref"; stat -c %a "$work/ref")"

"$bin" --wav "$work/fast.wav" --rate 10 "$doc" 2>/dev/null
read -r _ _ _ fast < <(wavinfo "$work/fast.wav")
check "--rate 10 is faster ($fast s against $secs s)" python3 -c "import sys; sys.exit(not $fast < 0.6 * $secs)"
"$bin" --wav "$work/m001.wav" --voice 5 "$doc" 2>/dev/null; rc=$?
check "--voice 5 exits 0" test "$rc" -eq 0
check "another voice, another sound" bash -c "! cmp -s '$work/one.wav' '$work/m001.wav'"
# The stored voice, unless --voice says another.
LC_ALL=C sed -i 's/^\[Voice\]=.*\r$/[Voice]=5\r/' "$KVEN_HOME/KVEN.ini"
"$bin" --wav "$work/stored.wav" "$doc" 2>/dev/null
check "the stored voice speaks" cmp -s "$work/m001.wav" "$work/stored.wav"
"$bin" --wav "$work/over.wav" --voice 0 "$doc" 2>/dev/null
check "--voice over the stored voice" cmp -s "$work/one.wav" "$work/over.wav"
cp "$KVEN_SOURCE_DIR/data/KVEN.ini" "$KVEN_HOME/KVEN.ini"

"$bin" --wav "$work/x.wav" --voice 99 "$doc" >/dev/null 2>"$work/err"; rc=$?
check "--voice past the end exits 1" test "$rc" -eq 1
check "... and names the voices" grep -q 'nitech m001' "$work/err"
"$bin" --help | grep -q -- '--wav FILE'; rc=$?
check "--help explains --wav" test "$rc" -eq 0
"$bin" --wav "$work/no/such/folder.wav" "$doc" >/dev/null 2>"$work/err"; rc=$?
check "unwritable target exits 1" test "$rc" -eq 1
check "... with the program's message" grep -q 'を作成できません' "$work/err"

# Ctrl+C in the middle: no WAV and no temporary file; an old file stays as it was.
long="$work/long.txt"
for i in $(seq 1 200); do sjis "第${i}の文です。吾輩は猫である。名前はまだ無い。\r\n"; done >"$long"
echo old >"$work/book.wav"
"$bin" --wav "$work/book.wav" --jobs 2 "$long" 2>/dev/null &
pid=$!
sleep 1
kill -INT "$pid"
wait "$pid"; rc=$?
check "Ctrl+C exits 130" test "$rc" -eq 130
check "the old file is untouched" test "$(cat "$work/book.wav")" = old
check "no temporary file left" test -z "$(ls "$work" | grep part)"

# Killed outright, the export leaves its temporary file; the next export of the same file
# removes it.
"$bin" --wav "$work/book.wav" --jobs 2 "$long" 2>/dev/null &
pid=$!
sleep 1
{ kill -KILL "$pid"; wait "$pid"; } 2>/dev/null
check "a killed export leaves a temporary file" test -n "$(ls "$work" | grep part)"
"$bin" --wav "$work/book.wav" "$doc" 2>/dev/null
check "the next export removes it" test -z "$(ls "$work" | grep part)"

# Only a regular file is replaced: a FIFO or a device node stays what it is.
mkfifo "$work/fifo.wav"
targets=("$work/fifo.wav")
mknod "$work/null.wav" c 1 3 2>/dev/null && targets+=("$work/null.wav")
for target in "${targets[@]}"; do
  kind="$(stat -c %F "$target")"
  "$bin" --wav "$target" "$doc" >/dev/null 2>"$work/err"; rc=$?
  check "--wav onto a $kind exits 1" test "$rc" -eq 1
  check "... saying it is no regular file" grep -q '通常のファイルではありません' "$work/err"
  check "... and it stays a $kind" test "$(stat -c %F "$target")" = "$kind"
done

# --out: the format by the extension, one file per chapter with --split, nothing left by Ctrl+C.
book="$work/heads.txt"
sjis '題名\r\n作者\r\n\r\n一［＃「一」は中見出し］\r\n猫です。\r\n二［＃「二」は中見出し］\r\n犬です。\r\n' >"$book"
"$bin" --out "$work/heads.opus" --split "$book" 2>/dev/null; rc=$?
check "--out --split exits 0" test "$rc" -eq 0
check "... one file per chapter, its text track and the playlist" test "$(ls "$work/heads" | tr '\n' '|')" = "01 題名.lrc|01 題名.opus|02 一.lrc|02 一.opus|03 二.lrc|03 二.opus|heads.m3u8|"
check "... an Ogg Opus file" test "$(head -c 4 "$work/heads/02 一.opus")" = OggS
"$bin" --out "$work/again.opus" --split "$book" 2>/dev/null
check "... the same bytes from the same speech (so a resumed export matches)" cmp -s "$work/heads/02 一.opus" "$work/again/02 一.opus"
# A book's chapters are its table of contents, named as it names them.
printf '<h1>猫</h1><p>猫です。</p>\n' >"$work/cat.xhtml"
printf '<h1>犬</h1><p>犬です。</p>\n' >"$work/dog.xhtml"
python3 "$(dirname "${BASH_SOURCE[0]}")/../support/make_epub.py" "$work/pets.epub" "第一章 猫=$work/cat.xhtml" "第二章 犬=$work/dog.xhtml"
"$bin" --out "$work/pets.wav" --split "$work/pets.epub" 2>/dev/null; rc=$?
check "a book's --split exits 0" test "$rc" -eq 0
check "... one file per entry of its contents" test "$(ls "$work/pets" | tr '\n' '|')" = "01 第一章 猫.lrc|01 第一章 猫.wav|02 第二章 犬.lrc|02 第二章 犬.wav|pets.m3u8|"
"$bin" --out "$work/x.m4a" "$doc" >/dev/null 2>"$work/err"; rc=$?
check "an unknown extension exits 1" test "$rc" -eq 1
check "... naming the formats" grep -q '.wav .flac .ogg .opus .mp3' "$work/err"
"$bin" --split "$doc" >/dev/null 2>&1; rc=$?
check "--split without --out is a usage error" test "$rc" -eq 2
"$bin" --out "$work/long.mp3" --split --jobs 2 "$long" 2>/dev/null &
pid=$!
sleep 1
kill -INT "$pid"
wait "$pid"; rc=$?
check "Ctrl+C during --out --split exits 130" test "$rc" -eq 130
check "... leaving no folder" test ! -e "$work/long"

# --lyrics: a line per utterance that --dump lists, with the document's own text (not the reading
# handed to the synthesizer), each where the WAV's 200 ms of silence ends.
"$bin" --wav "$work/read.wav" --lyrics "$doc" 2>/dev/null
"$bin" --dump "$doc" >"$work/dump"
check "--lyrics: a line per utterance, the document's text" test "$(grep '^\[[0-9]' "$work/read.lrc" | sed 's/^\[[0-9:.]*\]//' | tr -d '\n')" = "$(iconv -f CP932 -t UTF-8 "$doc" | tr -d '\r\n')読み上げ終了。"
check "... each after the pause of its utterance" python3 - "$work/read.wav" "$work/read.lrc" "$(wc -l <"$work/dump")" <<'PY'
import re, sys, wave, array
w = wave.open(sys.argv[1]); s = array.array('h', w.readframes(w.getnframes()))
starts = [round((int(m[0]) * 60 + float(m[1])) * 48000) for m in re.findall(r'^\[(\d+):([\d.]+)\]', open(sys.argv[2]).read(), re.M)]
# 9600 silent samples before each start (give or take the rounding to 10 ms), speech after it.
ok = len(starts) == int(sys.argv[3]) and all(not any(s[t - 9600 + 240:t - 240]) and any(s[t + 240:t + 9600]) for t in starts)
sys.exit(not ok)
PY

# A split export killed after its first chapters, run again, keeps those and gives the files of
# a run never stopped; a run after a complete one keeps every file.
parts="$work/parts.txt"
for c in 一 二 三; do sjis "${c}［＃「${c}」は中見出し］\r\n"; for i in 1 2 3 4 5 6; do sjis "${c}の${i}番目の文です。\r\n"; done; done >"$parts"
"$bin" --out "$work/whole.wav" --split "$parts" 2>/dev/null
# A bookmark in the middle (where the window last stopped) moves --dump's start, never an export's.
middle="$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().find("二［＃".encode("cp932")))' "$parts")"
printf '%s,%s\r\n' "$parts" "$middle" >"$KVEN_HOME/KVEN.txt"
check "--dump starts at the bookmark" test "$("$bin" --dump "$parts" 2>/dev/null | head -n 1 | cut -f1)" = "$middle"
"$bin" --out "$work/marked.wav" --split "$parts" 2>/dev/null
check "--out --split with a bookmark: the chapter files of the whole book, byte for byte" bash -c 'cd "$0" && for f in 0*; do cmp -s "$f" "$1/$f" || exit 1; done && test "$(ls "$0" | grep -c "^0")" = "$(ls "$1" | grep -c "^0")"' "$work/whole" "$work/marked"
rm "$KVEN_HOME/KVEN.txt"
"$bin" --out "$work/parts.wav" --split --jobs 1 "$parts" 2>/dev/null &
pid=$!
for _ in $(seq 1 300); do grep -qs '^02 ' "$work"/parts.part-*/parts.m3u8 && break; sleep 0.1; done
{ kill -KILL "$pid"; wait "$pid"; } 2>/dev/null
first="$(stat -c %i "$work"/parts.part-*/'01 一.wav')"
"$bin" --out "$work/parts.wav" --split "$parts" 2>"$work/err"
check "a killed split export resumes with the files it completed" test "$(stat -c %i "$work/parts/01 一.wav")" = "$first"
check "... and says how many it kept" grep -q '書き出しから [1-9] 章のファイルを引き継ぎました' "$work/err"
check "... into the files of a run never stopped" bash -c 'for f in "$0"/0*; do cmp -s "$f" "$1/${f##*/}" || exit 1; done; cmp -s "$0/whole.m3u8" "$1/parts.m3u8"' "$work/whole" "$work/parts"
check "... leaving no temporary folder" test -z "$(ls "$work" | grep 'parts.part')"
third="$(stat -c %i "$work/parts/03 三.wav")"
"$bin" --out "$work/parts.wav" --split "$parts" 2>/dev/null
check "a run after a complete one keeps its files" test "$(stat -c %i "$work/parts/03 三.wav")" = "$third"
sjis '別の文です。\r\n' >>"$parts"
"$bin" --out "$work/parts.wav" --split "$parts" 2>/dev/null
check "... and makes again a chapter whose text changed" test "$(stat -c %i "$work/parts/03 三.wav")" != "$third"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
