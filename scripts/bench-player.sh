#!/usr/bin/env bash
# Prints the player window's figures: list refresh and sort for 1,000 and 10,000 recordings,
# and the CPU share of the player while it plays an 8 kHz recording.
# Usage: scripts/bench-player.sh [build folder, default build] [seconds of playback, default 10]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja
fi
cmake --build "$build" --target pellplayer_benchmark
QT_QPA_PLATFORM=offscreen "$build/player/ui/tools/pellplayer_benchmark" "$seconds"
