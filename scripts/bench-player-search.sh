#!/usr/bin/env bash
# Prints the player's resident memory with 1,000,000 indexed recordings and "Find calls"
# showing 10,000 rows: makes the synthetic index once (index_benchmark, about 2 minutes and
# 1 GB in the scratch folder), then runs the player window offscreen on it.
# usage: scripts/bench-player-search.sh [build] [scratch] [--keep]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=${2:-/var/tmp/pell-player-search-bench}
keep=${3:-}
cmake --build "$build" --target index_benchmark pellplayer_benchmark >/dev/null
if [ ! -f "$scratch/bench.sqlite" ]; then
  "$build/index/bench/index_benchmark" search --store sqlite --scratch "$scratch" --reuse --runs 1 >/dev/null
fi
QT_QPA_PLATFORM=offscreen "$build/player/ui/tools/pellplayer_benchmark" memory "$scratch/bench.sqlite"
if [ "$keep" != "--keep" ]; then
  rm -rf "$scratch"
fi
