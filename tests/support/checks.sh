# Shared by the end-to-end scripts; sourced, not run. Each script counts its checks and ends
# with the plain "N passed, N failed" line.
failures=0
passed=0
check() { # name, then a command that must succeed
  local name="$1"; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL: $name"; failures=$((failures + 1)); fi
}
# Shift_JIS bytes of a UTF-8 text with printf escapes.
sjis() { printf '%b' "$1" | iconv -f UTF-8 -t CP932; }
# Skips the script (exit 77) without the private sound server; under CI that is a failure.
require_sound_server() {
  [ -n "${KVEN_TEST_SINK:-}" ] && return 0
  echo "KVEN_TEST_SINK is not set: no private sound server (scripts/test starts one)"
  [ -n "${CI:-}" ] && exit 1
  exit 77
}
