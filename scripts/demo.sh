#!/usr/bin/env bash
# Installs what is needed, builds the suite, then runs the real recorder, PellRecorder, for
# about 20 s on the simulated line box (no sound card, line box or display needed): two calls,
# one with FSK caller ID on line 1 and one dialled on line 2. It is stopped with SIGTERM, as a
# service stop or logout would, and the player's listing of what it recorded is printed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

demo=$(pwd)/build/demo
rm -rf "$demo"
build/tools/pell-box-scenario/pell-box-scenario "$demo"
# The recorder finds its program folder in the system-wide settings; point them at the demo.
mkdir -p "$demo/xdg/Zorvek Software"
printf '[General]\nPathToProg=%s\n' "$demo" >"$demo/xdg/Zorvek Software/TeluvaRecorder.conf"
# A private runtime folder, so a recorder already running for this user is left alone.
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT

echo
echo "Running PellRecorder for 21 s on the simulated line box:"
echo "  line 1: caller ID (FSK) at 1.5 s, answered at 3.5 s, hung up at 10 s"
echo "  line 2: handset lifted at 8 s, 0123456 dialled, hung up at 15 s"
QT_QPA_PLATFORM=offscreen PELL_LINE_BOX_SCENARIO="$demo" XDG_CONFIG_DIRS="$demo/xdg" \
  XDG_RUNTIME_DIR="$runtime" build/recorder/app/PellRecorder \
  2> >(grep --line-buffered '^PellRecorder:' | sed -u 's/^/  /' >&2) &
recorder=$!
sleep 21
kill -TERM "$recorder"
status=0
wait "$recorder" || status=$?
sleep 0.2  # let the log filter print its last lines
echo "PellRecorder exited with $status"

echo
echo "As the player lists them (channel, start, duration, number, bookmark, file, direction, played):"
today=$(date '+%Y-%m-%d')
build/tools/pell-catalogue/pell-catalogue list --from "$today" --to "$today" "$demo/line1" "$demo/line2"
echo
echo "Numbers found: $(build/tools/pell-catalogue/pell-catalogue list --from "$today" --to "$today" \
  "$demo/line1" "$demo/line2" | cut -f4 | paste -sd ' ')"
echo "(expected 5551234 on line 1 and 0123456 on line 2)"
echo
# The player's program folder for the demo: its record roots are the two drop folders.
mkdir -p "$demo/player"
printf '%s\r\n' "$demo/line1" "$demo/line2" >"$demo/player/paths.ini"
echo "Searching every day of both lines for 555, through the call index (pell-catalogue search):"
build/tools/pell-catalogue/pell-catalogue search --number 555 --program-folder "$demo/player"
echo "(the index is $demo/player/index.sqlite; from that folder, pell-catalogue search --number 555 does the same)"
echo
# pell-web on the same folders: its settings, and an account "demo" (password "demo-calls").
printf '[web]\nlisten=127.0.0.1\nport=8080\nusers=web-users\nplayer_folder=player\nrecorder=.\n' >"$demo/web.ini"
echo "demo-calls" | build/web/server/pell-web --config "$demo/web.ini" user add demo --role admin >/dev/null
echo "To find and play them in a browser: build/web/server/pell-web --config $demo/web.ini"
echo "  then open http://127.0.0.1:8080/ and log in as demo, password demo-calls (see docs/installing.md)"
echo
echo "The fast path without the real program: build/tools/pell-replay/pell-replay (see docs/developing.md)."
echo "To list and play them in the player: (cd \"$demo/player\" && \"$PWD/build/player/ui/PellPlayer\")"
echo "  there Playback > Find calls (Ctrl+Shift+F) finds calls of every day, e.g. number 555"
