#!/usr/bin/env bash
# What a screen reader hears of the kven window on the accessibility bus: the window on a
# private X server (an X window is what the platform's bridge serves), reading a document into
# the private sound server, on a private session bus with its own accessibility bus. A listener
# registers for the text's selection events as a screen reader does and, at each one, asks the
# text for its selection and its state: the chunk being read is the text's selection on every
# step, one event a step, and the text has the focus.
set -uo pipefail
bin="${KVEN_BIN:?}/kven"
. "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
skip() {
  echo "$1 (scripts/test installs it)"
  [ -n "${CI:-}" ] && exit 1
  exit 77
}
for tool in dbus-run-session dbus-monitor Xvfb xdotool /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || skip "$tool is missing"
done
/usr/bin/python3 -c 'import dbus' 2>/dev/null || skip "Python's bus bindings are missing"
[ -x /usr/bin/open_jtalk ] || skip "the synthesizer is missing"
compgen -G "$KVEN_BIN/voices/*/*.htsvoice" >/dev/null || skip "no voices beside $bin"
require_sound_server
# The rest runs on a bus of its own, and an accessibility bus in a runtime folder of its own,
# which end with it.
if [ -z "${KVEN_PRIVATE_BUS:-}" ]; then
  runtime="$(mktemp -d)"
  chmod 700 "$runtime"
  KVEN_PRIVATE_BUS=1 XDG_RUNTIME_DIR="$runtime" dbus-run-session -- bash "${BASH_SOURCE[0]}"
  status=$?
  rm -rf "$runtime"
  exit $status
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
export KVEN_HOME="$work/home"
mkdir -p "$KVEN_HOME"
cp "${KVEN_SOURCE_DIR:?}/data/KVEN.ini" "$KVEN_HOME/KVEN.ini"
: >"$KVEN_HOME/KVEN.txt"
chunks=(一つ目の文です。 二つ目の文です。 三つ目の文です。 四つ目の文です。 五つ目の文です。 六つ目の文です。)
for chunk in "${chunks[@]}"; do sjis "$chunk\r\n"; done >"$work/doc.txt"

display=":$((90 + RANDOM % 500))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
for i in $(seq 1 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
# A desktop turns the bridge on when a screen reader runs; this one has none to ask.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

/usr/bin/python3 - "$work/heard" >"$work/listener.log" 2>&1 <<'PY' &
import dbus, re, subprocess, sys
session = dbus.SessionBus()
address = session.call_blocking('org.a11y.Bus', '/org/a11y/bus', 'org.a11y.Bus', 'GetAddress', '', [])
bus = dbus.bus.BusConnection(address)
monitor = subprocess.Popen(['dbus-monitor', '--address', address,
                            "type='signal',interface='org.a11y.atspi.Event.Object',member='TextSelectionChanged'"],
                           stdout=subprocess.PIPE, text=True)
bus.call_blocking('org.a11y.atspi.Registry', '/org/a11y/atspi/registry', 'org.a11y.atspi.Registry',
                  'RegisterEvent', 'sass', ['object:text-selection-changed', [], ''])
FOCUSED = 1 << 12
with open(sys.argv[1], 'w') as heard:
    print('ready', file=heard, flush=True)
    for line in monitor.stdout:
        m = re.search(r'sender=(\S+) .*path=(\S+); interface=org.a11y.atspi.Event.Object; '
                      r'member=TextSelectionChanged', line)
        if not m:
            continue
        text = bus.get_object(m.group(1), m.group(2))
        selected = ''
        if int(text.GetNSelections(dbus_interface='org.a11y.atspi.Text')) > 0:
            start, end = text.GetSelection(0, dbus_interface='org.a11y.atspi.Text')
            selected = str(text.GetText(start, end, dbus_interface='org.a11y.atspi.Text')).strip()
        state = int(text.GetState(dbus_interface='org.a11y.atspi.Accessible')[0])
        print('%s\t%s' % ('focused' if state & FOCUSED else 'unfocused', selected), file=heard, flush=True)
PY
listener=$!
pids+=("$listener")
for i in $(seq 1 100); do grep -q ready "$work/heard" 2>/dev/null && break; sleep 0.1; done
check "the listener is registered on the accessibility bus" grep -q ready "$work/heard"

"$bin" "$work/doc.txt" >"$work/kven.log" 2>&1 &
kven=$!
pids+=("$kven")
# The window system of a desktop gives the new window the focus.
for i in $(seq 1 100); do
  window="$(xdotool search --onlyvisible --name KVEN 2>/dev/null | head -n 1)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] && xdotool windowfocus "$window"
# Waits up to a minute for the last chunk's selection.
for i in $(seq 1 600); do grep -q "${chunks[5]}" "$work/heard" && break; sleep 0.1; done

# The chunks selected, in the order heard, each once: from the first one heard, every later
# chunk of the document follows, none left out.
mapfile -t heard < <(grep -v '^ready' "$work/heard" | cut -f2 | grep -v '^$' | uniq)
first=-1
for i in "${!chunks[@]}"; do [ "${heard[0]:-}" = "${chunks[$i]}" ] && first=$i; done
expected=("${chunks[@]:$((first < 0 ? 0 : first))}")
echo "heard ${#heard[@]} chunks selected: ${heard[*]}"
echo "selection events: $(grep -vc '^ready' "$work/heard") for ${#heard[@]} steps"
check "the chunks are heard from the second one on at the latest" test "$first" -ge 0 -a "$first" -le 1
check "every step's chunk reaches the bus as the text's selection" test "${heard[*]}" = "${expected[*]}"
check "one selection event a step" test "$(grep -vc '^ready' "$work/heard")" -eq \
  "$(grep -v '^ready' "$work/heard" | cut -f2 | uniq | wc -l)"
check "the text has the focus while reading" \
  test "$(grep -v '^ready' "$work/heard" | grep -v '^$' | tail -n 3 | cut -f1 | sort -u)" = focused

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
