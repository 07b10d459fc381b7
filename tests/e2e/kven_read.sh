#!/usr/bin/env bash
# kven-read end to end: argument handling, exit statuses, the exact --dump format, settings
# and bookmark files read but never written.
set -uo pipefail
bin="${KVEN_BIN:?}/kven-read"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"

home="$work/home"
mkdir -p "$home"
export KVEN_HOME="$home"
sjis '[Voice]=0\r\n[Aozora]=-1\r\n[AA]=-1\r\n[Repeat]=-1\r\n[Silent]=3\r\n[Space]=5\r\n[Speed]=0\r\n[X]=0\r\n[Y]=0\r\n[Head]=-1\r\n[Talk]=0\r\n、。「」\r\n[Skip]=0\r\n広告\r\n' >"$home/KVEN.ini"

doc="$work/doc.txt"
sjis '一行目です。二行目\r\n広告の行\r\n東京《とうきょう》へ\r\n' >"$doc"

# The exact dump: offsets in bytes of the Shift_JIS text; the skip-list line is dropped; the
# end line follows an empty line, since the document already ends with a line break.
expected="$(printf '0\t一行目です。\n12\t二行目\n30\tとうきょうへ\n54\t読み上げ終了。')"
out="$("$bin" --dump "$doc" 2>/dev/null)"; rc=$?
check "dump exits 0" test "$rc" -eq 0
check "dump lines" test "$out" = "$expected"

# --from starts elsewhere; an offset past the end reads nothing.
out="$("$bin" --dump --from 30 "$doc" 2>/dev/null)"
check "--from" test "$out" = "$(printf '30\tとうきょうへ\n54\t読み上げ終了。')"
out="$("$bin" --dump --from 100000 "$doc" 2>/dev/null)"; rc=$?
check "--from past the end" test "$rc" -eq 0 -a -z "$out"

# A bookmark moves the cursor; the last matching line wins; nothing is written.
printf '%s,30\r\n%s,12\r\n' "$doc" "$doc" >"$home/KVEN.txt"
before="$(sha256sum "$home/KVEN.txt" "$home/KVEN.ini")"
out="$("$bin" --dump "$doc")"
check "bookmark" test "$(printf '%s\n' "$out" | head -n 1)" = "$(printf '12\t二行目')"
check "files untouched" test "$before" = "$(sha256sum "$home/KVEN.txt" "$home/KVEN.ini")"
rm -f "$home/KVEN.txt"

# Talk symbols end with a line break, so CR and LF pass the filter. A LF reaches a chunk
# when a lead byte takes the CR before it as its second byte, and the line break is then not
# at a character boundary: the dump writes it as \n and keeps one line per chunk. (CR as \r
# is checked by the unit tests: loading makes every CR part of a line break.)
crdoc="$work/cr.txt"
printf 'A\x81\nB' >"$crdoc"
sjis '[AA]=0\r\n[Talk]=0\r\n\x0b\r\n[Skip]=0\r\n' >"$home/KVEN.ini"
"$bin" --dump "$crdoc" >"$work/out" 2>/dev/null
check "LF inside a chunk is escaped" test "$(head -n 1 "$work/out")" = "$(printf '0\tＡ;\\nＢ')"
check "one dump line per chunk" test "$(wc -l <"$work/out")" -eq 2
printf 'A\x0bB' >"$crdoc"
out="$("$bin" --dump "$crdoc" 2>/dev/null | head -n 1)"
check "other control characters pass unescaped" test "$out" = "$(printf '0\tＡ\vＢ')"

# The listening options follow the settings file, the reading dictionary is KVEN.dic beside
# it (UTF-8), and a broken line of it is a warning with its number. Without their keys the
# options are off and the dictionary is not read.
notes="$work/notes.txt"
sjis 'MeCab［＃「MeCab」に傍点］を使う\r\n' >"$notes"
printf 'MeCab=メカブ\n壊れた行\n' >"$home/KVEN.dic"
sjis '[Notes]=-1\r\n[Words]=-1\r\n[Talk]=0\r\n、。\r\n[Skip]=0\r\n' >"$home/KVEN.ini"
out="$("$bin" --dump "$notes" 2>"$work/err" | head -n 1)"
check "notes and words on" test "$out" = "$(printf '0\tメカブを使う')"
check "broken dictionary line warned" grep -q "ファイル $home/KVEN.dic の 2 行目" "$work/err"
sjis '[Talk]=0\r\n、。\r\n[Skip]=0\r\n' >"$home/KVEN.ini"
out="$("$bin" --dump "$notes" 2>"$work/err" | head -n 1)"
check "notes and words off" test "$out" = "$(printf '0\tＭｅＣａｂ;;;ＭｅＣａｂ;に傍点;を使う')"
check "no dictionary read when off" test "$(grep -c KVEN.dic "$work/err")" -eq 0
rm -f "$home/KVEN.dic"

# A page's ruby base, which conversion leaves unmarked, and its character references: with
# notes silent the base goes for its reading, whatever its script.
page="$work/page.html"
sjis '<p>霧の<ruby><rb>ロンドン警視庁</rb><rp>（</rp><rt>スコットランドヤード</rt><rp>）</rp></ruby>だ。&#x3042;</p>\r\n' >"$page"
sjis '[Notes]=-1\r\n[Aozora]=-1\r\n[Talk]=0\r\n、。ー\r\n[Skip]=0\r\n' >"$home/KVEN.ini"
out="$("$bin" --dump "$page" 2>/dev/null | head -n 2)"
check "a page's ruby base and reference with notes silent" test "$out" = "$(printf '0\t霧のスコットランドヤードだ。\n46\tあ')"

# Missing settings and bookmark files: warnings, design defaults (no talk symbols, limits 0).
rm -f "$home/KVEN.ini" "$home/KVEN.txt"
out="$("$bin" --dump "$doc" 2>"$work/err")"; rc=$?
check "missing files still read" test "$rc" -eq 0
check "missing files warned" grep -q 'KVEN.ini は開けません' "$work/err"
check "a missing bookmark file is said to be missing" grep -q 'KVEN.txt はまだありません' "$work/err"
check "defaults: symbols unreadable, no skip list" test "$out" = "$(printf '12\t二行目\n20\t広告の行\n30\tとうきょうへ')"
check "no file created" test ! -e "$home/KVEN.txt" -a ! -e "$home/KVEN.ini"
mkdir "$home/KVEN.txt"
"$bin" --dump "$doc" >/dev/null 2>"$work/err"
check "one that cannot be read is said to be unreadable" grep -q 'KVEN.txt は開けません' "$work/err"
rmdir "$home/KVEN.txt"

# Exit statuses.
"$bin" --dump "$work/missing.txt" >/dev/null 2>"$work/err"; rc=$?
check "missing document exits 1" test "$rc" -eq 1
check "missing document message, with why" grep -q "ファイル $work/missing.txt は開けません: ファイルがありません。名前と場所を確かめてください." "$work/err"

# The argument checks, one row each: exit status, what standard error says (a usage error
# then shows the usage), the arguments. Values at the limits are taken.
args() {
  local status="$1" says="$2"; shift 2
  "$bin" "$@" >/dev/null 2>"$work/err"; local rc=$?
  check "[$*] exits $status" test "$rc" -eq "$status"
  if [ "$status" -eq 2 ]; then
    check "[$*] says $says" grep -qxF -- "kven-read: $says" "$work/err"
    check "[$*] shows the usage" grep -q '^Usage: kven-read' "$work/err"
  else
    check "[$*] is no usage error" bash -c "! grep -q Usage '$work/err'"
  fi
}
args 2 "no DOCUMENT given"
args 2 "no DOCUMENT given" --dump --
args 2 "only one DOCUMENT can be read" --dump "$doc" "$doc"
args 2 "unknown option --bogus" --bogus "$doc"
args 2 "unknown option -x" -x "$doc"
args 2 "--dump and --wav exclude each other" --wav "$work/x.wav" --dump "$doc"
args 2 "--wav needs a file name" "$doc" --wav
args 2 "--wav needs a file name" --wav "" "$doc"
args 2 "--from needs an offset" --dump "$doc" --from
args 2 "not a byte offset: x" --dump --from x "$doc"
args 2 "not a byte offset: -1" --dump --from -1 "$doc"
args 2 "--voice needs a number" --dump "$doc" --voice
args 2 "not a voice index: -1" --dump --voice -1 "$doc"
args 2 "not a voice index: 1001" --dump --voice 1001 "$doc"
args 2 "not a voice index: 2x" --dump --voice 2x "$doc"
args 0 "" --dump --voice 1000 "$doc"
args 2 "--rate needs a number" --dump "$doc" --rate
args 2 "not a rate from -10 to 10: -11" --dump --rate -11 "$doc"
args 2 "not a rate from -10 to 10: 11" --dump --rate 11 "$doc"
args 0 "" --dump --rate -10 "$doc"
args 0 "" --dump --rate 10 "$doc"
args 2 "--jobs needs a number" --dump "$doc" --jobs
args 2 "not a number of jobs: 0" --dump --jobs 0 "$doc"
args 2 "not a number of jobs: 257" --dump --jobs 257 "$doc"
args 0 "" --dump --jobs 256 "$doc"
args 0 "" --dump -- "$doc"
"$bin" --help | grep -q -- '--dump'; rc=$?
check "--help explains --dump" test "$rc" -eq 0
if [ -w /dev/full ]; then
  "$bin" --help >/dev/full 2>/dev/null; rc=$?
  check "--help to a full disk exits 1" test "$rc" -eq 1
fi

# Out of memory is one clear line and exit 1, not an abort.
# (A sanitizer build reserves more address space than any such limit allows; its runtime may
# be a library of its own, so the binary is known by the sanitizer's entry point.)
if ! grep -qa -e __asan_init -e __tsan_init "$bin"; then
  big="$work/big.txt"
  head -c 50000000 /dev/zero | tr '\0' 'a' >"$big"
  # Too little for the text and its conversion: a 50 MB line is read in small chunks, so a
  # limit that only the reading would exceed is never reached.
  (ulimit -v 80000; "$bin" --dump "$big" >/dev/null 2>"$work/err"); rc=$?
  check "out of memory exits 1" test "$rc" -eq 1
  check "out of memory message" grep -qx 'kven-read: out of memory' "$work/err"
  rm -f "$big"
fi

# A text whose encoding changes partway is read as before, with a warning: its last "い", in
# UTF-8, ends in a Shift_JIS lead byte that the line feed cannot follow.
mkdir -p "$work/plain"
sjis '[Talk]=0\r\n、。\r\n[Skip]=0\r\n' >"$work/plain/KVEN.ini"
: >"$work/plain/KVEN.txt"
{ sjis '下人の行方は、\n'; printf '誰も知らない\n'; } >"$work/mixed.txt"
KVEN_HOME="$work/plain" "$bin" --dump "$work/mixed.txt" >"$work/out" 2>"$work/err"; rc=$?
check "a text in two encodings is read" test "$rc" -eq 0 -a "$(head -n 1 "$work/out")" = "$(printf '0\t下人の行方は、')"
check "... with a warning" grep -qx "kven-read: warning: この文書の一部が Shift_JIS として読めません (途中で文字コードが変わっているか、壊れています): その部分は文字化けしています." "$work/err"
# A document over the editor's limit: the message, then the file and the limit.
truncate -s $((256 * 1024 * 1024 + 1)) "$work/huge.txt"
KVEN_HOME="$work/plain" "$bin" --dump "$work/huge.txt" >/dev/null 2>"$work/err"; rc=$?
check "a document over the limit exits 1, naming the file and the limit" test "$rc" -eq 1 -a "$(cat "$work/err")" = \
  "kven-read: 文字列の大きさが メモ の制限を越えました: ファイル $work/huge.txt は上限の 256 MiB を超えています."
rm -f "$work/huge.txt"

# The same document named in other ways finds its bookmark; warnings name absolute paths.
mkdir -p "$work/x"
cp "$doc" "$work/x/doc.txt"
printf '%s,30\r\n' "$work/x/doc.txt" >"$home/KVEN.txt"
for name in "../x/doc.txt" "x//doc.txt" "./x/./doc.txt"; do
  from="$work"
  [ "${name#../}" != "$name" ] && from="$work/x"
  out="$(cd "$from" && "$bin" --dump "$name" 2>/dev/null | head -n 1)"
  check "bookmark found as $name" test "$out" = "$(printf '30\tとうきょうへ')"
done
rm -f "$home/KVEN.txt" "$home/KVEN.ini"
(cd "$work" && KVEN_HOME=home "$bin" --dump "$doc" >/dev/null 2>"$work/err")
check "settings warning absolute" grep -q "ファイル $home/KVEN.ini は開けません" "$work/err"
check "bookmark warning absolute" grep -q "ファイル $home/KVEN.txt はまだありません" "$work/err"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
