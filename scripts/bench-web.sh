#!/usr/bin/env bash
# Prints pell-web's figures: a search over 1,000,000 indexed calls through the real server
# (median of one request, and wrk's rate) against pell-catalogue search on the same index, and
# 20 listeners streaming different recordings at once (wrk). The index is made once in the
# scratch folder (about 400 MB, a minute or two) and kept for the next run.
# usage: scripts/bench-web.sh [build] [scratch] [calls]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=${2:-/var/tmp/pell-web-bench}
calls=${3:-1000000}
cmake --build "$build" --target web_benchmark pell-catalogue >/dev/null
"$build/web/bench/web_benchmark" --calls "$calls" --scratch "$scratch" \
  --catalogue "$build/tools/pell-catalogue/pell-catalogue"
