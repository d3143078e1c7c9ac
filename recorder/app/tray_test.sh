#!/usr/bin/env bash
# The recorder's notification icon in a real notification area: trayer on Xvfb. Skips (77)
# where those tools are missing.
# usage: tray_test.sh <PellRecorder> <pell-box-scenario>
set -u
for tool in xvfb-run Xvfb trayer xwininfo; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
if [ -z "${PELL_TRAY_TEST_DISPLAY:-}" ]; then
  PELL_TRAY_TEST_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
recorder=$1
scenario_tool=$2
work=$(mktemp -d)
tray_pid=
recorder_pid=
trap 'kill $tray_pid $recorder_pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; echo "--- recorder log"; cat "$work/log"; exit 1; }
# Polls a condition for up to $1 tenths of a second.
await() {
  local tenths=$1; shift
  for ((i = 0; i < tenths; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}
icon_in_tray() { xwininfo -root -tree | grep -A4 '"panel"' | grep -q '"PellRecorder": ("PellRecorder"'; }
window_hidden() { xwininfo -name "Pell Recorder - simulated line box" 2>/dev/null | grep -q IsUnMapped; }
logged() { grep -q "$1" "$work/log"; }

"$scenario_tool" "$work" || fail "no scenario"
mkdir -p "$work/xdg/Zorvek Software" "$work/run" && chmod 700 "$work/run"
printf '[General]\nPathToProg=%s\n' "$work" >"$work/xdg/Zorvek Software/TeluvaRecorder.conf"

trayer --edge top --align right --SetDockType true --widthtype request --height 24 --transparent false \
  >/dev/null 2>&1 &
tray_pid=$!
await 300 bash -c 'xwininfo -root -tree | grep -q "\"panel\""' || fail "trayer did not start"

QT_QPA_PLATFORM=xcb PELL_LINE_BOX_SCENARIO="$work" XDG_CONFIG_DIRS="$work/xdg" XDG_RUNTIME_DIR="$work/run" \
  XDG_CONFIG_HOME="$work/config" "$recorder" 2>"$work/log" &
recorder_pid=$!
await 300 logged "started:" || fail "the recorder did not start"
logged "notification icon added" || fail "no notification icon although trayer runs"
await 300 icon_in_tray || fail "the icon is not embedded in trayer's panel"
# Timer 0 hides the window 2 s after the start, leaving the icon to restore it from.
await 300 window_hidden || fail "the window was not hidden"
kill -TERM "$recorder_pid"
wait "$recorder_pid"
status=$?
[ "$status" -eq 0 ] || fail "exit code $status after SIGTERM"
icon_in_tray && fail "the icon stayed in the panel after the shut-down"
echo "PASSED: icon embedded in trayer, window hidden, icon removed at shut-down"
