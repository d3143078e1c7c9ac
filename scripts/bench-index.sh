#!/usr/bin/env bash
# Prints the call index's figures: searches on 1,000,000 recordings in SQLite and in PostgreSQL
# (a private server) against listing by date range, the memory of an open index with a
# 10,000-row result, and on real files the first build of 100,000 recordings cold against
# `pell-catalogue list` cold and refreshes of 1,000,000 recordings. Needs about 6 GB in the
# scratch folder (removed at the end) and 10 to 20 minutes; as root, --drop-caches empties the
# kernel's caches for the cold figures (it slows everything else on the machine for a moment).
# usage: scripts/bench-index.sh [build] [scratch] [--drop-caches]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=${2:-/var/tmp/pell-index-bench}
drop=${3:-}
bench="$build/index/bench/index_benchmark"
cmake --build "$build" --target index_benchmark >/dev/null

"$bench" search --store sqlite --scratch "$scratch/search" --reuse
"$bench" memory --scratch "$scratch/search"
rm -rf "$scratch/search"
"$bench" search --store postgres --scratch "$scratch/search"
rm -rf "$scratch/search"
"$bench" refresh --scratch "$scratch/refresh" $drop
