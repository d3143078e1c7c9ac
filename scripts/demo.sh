#!/usr/bin/env bash
# Installs what is needed, builds the suite, then replays a demo call through the recorder's
# core (no sound card or line box needed) and shows what was recorded.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

echo "Built: $(ls build/recorder/app/PellRecorder build/player/ui/PellPlayer build/configurator/app/Pell2CFG 2>/dev/null | tr '\n' ' ')"

demo=build/demo
rm -rf "$demo"
build/tools/pell-replay/pell-demo-scenario "$demo"
echo
echo "Demo call: line 1 (seized at 3 s, caller ID sent before) and line 2 (digits dialled at 1.5 s)"
echo "Recorded (channel, file, number, direction):"
build/tools/pell-replay/pell-replay --folder "$demo" --wav "$demo/call.wav" --timeline "$demo/timeline.txt" \
  --start "$(date '+%Y-%m-%d %H:%M:%S')"
echo
echo "Files:"
find "$demo/line1" "$demo/line2" -name '*.mp3' -printf '  %p  %s bytes\n' | sort
echo
echo "As the player lists them (channel, start, duration, number, bookmark, file, direction, played):"
today=$(date '+%Y-%m-%d')
build/tools/pell-catalogue/pell-catalogue list --from "$today" --to "$today" "$demo/line1" "$demo/line2"
# The player's program folder for the demo: its record roots are the two drop folders.
mkdir -p "$demo/player"
printf '%s\r\n' "$PWD/$demo/line1" "$PWD/$demo/line2" > "$demo/player/paths.ini"
echo
echo "To list and play them in the player: (cd $demo/player && ../../player/ui/PellPlayer)"
