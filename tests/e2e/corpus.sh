#!/usr/bin/env bash
# kven-read over every document of the shared corpus under several settings files: it ends
# normally, each dump line is "offset TAB text" with offsets rising inside the document, and
# the default settings speak at least 99% of the prose lines of the Aozora texts.
set -uo pipefail
corpus="${KVEN_CORPUS_DIR:?}"
if [ ! -d "$corpus/aozora_txt" ]; then
  echo "corpus not found at $corpus: skipped"
  exit 77
fi
bin="${KVEN_BIN:?}/kven-read"
src="${KVEN_SOURCE_DIR:?}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"

mkdir -p "$work/default" "$work/none" "$work/off" "$work/open"
cp "$src/data/KVEN.ini" "$work/default/KVEN.ini"
sjis '[Aozora]=0\r\n[AA]=0\r\n[Repeat]=0\r\n[Head]=0\r\n[Talk]=0\r\n\r\n[Skip]=0\r\n' >"$work/off/KVEN.ini"
sjis '[Aozora]=-1\r\n[AA]=-1\r\n[Repeat]=-1\r\n[Head]=-1\r\n[Silent]=10\r\n[Space]=10\r\n[Talk]=0\r\n、。「」ー\r\n[Skip]=0\r\n\r\nの\r\n' >"$work/open/KVEN.ini"

while IFS= read -r -d '' doc; do
  size=$(stat -c %s "$doc")
  for home in default none off open; do
    if ! KVEN_HOME="$work/$home" "$bin" --dump "$doc" >"$work/out" 2>"$work/err"; then
      echo "FAIL: $home: $doc exits $(cat "$work/err")"
      failures=$((failures + 1))
      continue
    fi
    # Offsets rise strictly and stay inside the loaded text (at most twice the file: every
    # lone LF may become CR LF, plus the end line).
    if ! awk -F '\t' -v limit=$((size * 2 + 16)) '
        !/^[0-9]+\t/ { print "bad line " NR ": " $0; bad = 1; exit }
        NR > 1 && $1 + 0 <= last { print "offset does not rise at line " NR; bad = 1; exit }
        $1 + 0 > limit { print "offset past the text at line " NR; bad = 1; exit }
        { last = $1 + 0 }
        END { exit bad }' "$work/out"; then
      echo "FAIL: $home: $doc"
      failures=$((failures + 1))
      continue
    fi
    passed=$((passed + 1))
  done
done < <(find "$corpus" -type f ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)

if python3 "$src/scripts/spoken-share" --min 99 --ini "$src/data/KVEN.ini" "$bin" "$corpus"/aozora_txt/*.txt; then
  passed=$((passed + 1))
else
  echo "FAIL: the default settings speak less than 99% of the prose lines"
  failures=$((failures + 1))
fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
