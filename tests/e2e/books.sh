#!/usr/bin/env bash
# Books and text downloads in ZIP archives through kven-read: an EPUB made from the corpus's two
# Aozora XHTML pages reads as the pages do, chunk for chunk, ruby readings heard once; a zipped text reads as the
# text; a bad archive is one line on standard error and nothing read.
set -uo pipefail
bin="${KVEN_BIN:?}/kven-read"
corpus="${KVEN_CORPUS_DIR:?}/aozora_xhtml"
make_epub="$(dirname "${BASH_SOURCE[0]}")/../support/make_epub.py"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
export KVEN_HOME="$work/home"
mkdir -p "$KVEN_HOME"
# The reading corrections aside: a book teaches its readings across its pages.
grep -av '^\[Readings\]\|^\[BookReadings\]' "${KVEN_SOURCE_DIR:?}/data/KVEN.ini" >"$KVEN_HOME/KVEN.ini"
: >"$KVEN_HOME/KVEN.txt"
spoken() { "$bin" --dump "$@" 2>/dev/null | cut -f 2-; }

if [ -d "$corpus" ]; then
  one="$corpus/aozora2html_chukiichiran_kinyurei.html"
  two="$corpus/aozora2html_chukiichiran_kinyurei_jisx0213.html"
  python3 "$make_epub" "$work/pages.epub" "一=$one" "二=$two"
  # The pages one after the other, each from its first heading, where loading puts the cursor
  # (the book leaves out the head of each document, and nothing comes before the heading in
  # the body), the first without its end line.
  { spoken "$one" | sed '$d'; spoken "$two"; } >"$work/pages"
  spoken "$work/pages.epub" >"$work/book"
  check "the book reads as its pages ($(wc -l <"$work/book") chunks)" cmp -s "$work/pages" "$work/book"
  check "... its ruby readings heard, never a base twice" grep -q '^…スコブる理論の品価をマシたるもの多し。$' "$work/book"
else
  echo "FAIL: no corpus at $corpus"
  failures=$((failures + 1))
fi

printf '<p>霧の<ruby>倫敦<rt>ロンドン</rt></ruby>だ。</p>\n' >"$work/ruby.xhtml"
python3 "$make_epub" "$work/ruby.epub" "一=$work/ruby.xhtml"
check "a ruby without parentheses, reading only" test "$(spoken "$work/ruby.epub" | head -n 1)" = "霧のロンドンだ。"

sjis '羅生門\r\n下人《げにん》が雨やみを待っていた。\r\n' >"$work/rashomon.txt"
python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1], "w"); z.write(sys.argv[2], "rashomon/rashomon.txt"); z.writestr("rashomon/fig.png", "png")' \
  "$work/rashomon.zip" "$work/rashomon.txt"
check "a zipped text reads as the text" test "$(spoken "$work/rashomon.zip")" = "$(spoken "$work/rashomon.txt")"

python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1], "w"); z.writestr("a.png", "png")' "$work/pictures.epub"
"$bin" --dump "$work/pictures.epub" >"$work/out" 2>"$work/err"; rc=$?
check "a zip that is neither exits 1" test "$rc" -eq 1
check "... with one line naming the file and the reason" test "$(cat "$work/err")" = \
  "kven-read: ファイル $work/pictures.epub は開けません: EPUB の本でも、テキストファイルを一つ収めた zip ファイルでもありません."
check "... and reads nothing" test ! -s "$work/out"
check "... nor writes a bookmark" test ! -s "$KVEN_HOME/KVEN.txt"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
