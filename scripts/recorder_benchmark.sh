#!/usr/bin/env bash
# Prints the recorder process's CPU share (of one core) and resident memory while both lines
# record on the simulated line box, at 8000 and 32000 Hz; the simulated box runs inside the
# process, so its cost is included. A figure, not a test: nothing here passes or fails.
#
# usage: scripts/recorder_benchmark.sh [seconds per rate, default 60] [long-run seconds, default 0]
# The long run (e.g. 3600) records a 59 s call on both lines every minute at 8000 Hz and prints
# the resident memory every minute, to show that it does not grow.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
seconds=${1:-60}
long=${2:-0}
recorder=$build/recorder/app/PellRecorder
scenario=$build/tools/pell-box-scenario/pell-box-scenario
[ -x "$recorder" ] && [ -x "$scenario" ] || {
  echo "build first: cmake --build $build --target PellRecorder pell-box-scenario" >&2
  exit 2
}
ticks=$(getconf CLK_TCK)

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
now_ms() { date +%s%3N; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
# CPU share in percent of one core: <ticks used> over <milliseconds of wall time>.
share() { awk -v t="$1" -v ms="$2" -v hz="$ticks" 'BEGIN { printf "%.2f", t * 100000 / hz / ms }'; }

# run <rate Hz> <measured seconds> <report every N seconds, 0: only at the end>
run() {
  local rate=$1 length=$2 every=$3 work pid t0 c0 r0 c1 t1 r1 peak rss
  work=$(mktemp -d)
  "$scenario" "$work" --rate "$rate" --calls $(( (length + 120) / 60 + 1 )) >/dev/null
  mkdir -p "$work/xdg/Zorvek Software" "$work/run" && chmod 700 "$work/run"
  printf '[General]\nPathToProg=%s\n' "$work" >"$work/xdg/Zorvek Software/TeluvaRecorder.conf"
  QT_QPA_PLATFORM=offscreen PELL_LINE_BOX_SCENARIO="$work" XDG_CONFIG_DIRS="$work/xdg" \
    XDG_RUNTIME_DIR="$work/run" "$recorder" 2>"$work/log" &
  pid=$!
  sleep 5  # start-up and the first calls' set-up are not part of the steady state
  t0=$(now_ms) c0=$(cpu_ticks $pid) r0=$(rss_kib $pid) peak=$r0
  local waited=0
  while [ "$waited" -lt "$length" ]; do
    local step=$(( every > 0 ? every : length ))
    [ $((waited + step)) -gt "$length" ] && step=$((length - waited))
    sleep "$step"
    waited=$((waited + step))
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "the recorder ended early:" >&2
      grep 'PellRecorder:' "$work/log" | tail -5 >&2
      exit 1
    fi
    rss=$(rss_kib $pid)
    [ "$rss" -gt "$peak" ] && peak=$rss
    if [ "$every" -gt 0 ]; then
      printf '  %5d s: RSS %s MiB, CPU %s %% so far\n' "$waited" "$(mib "$rss")" \
        "$(share $(($(cpu_ticks $pid) - c0)) $(($(now_ms) - t0)))"
    fi
  done
  c1=$(cpu_ticks $pid) t1=$(now_ms) r1=$(rss_kib $pid)
  kill -TERM $pid
  wait $pid || true
  local filed
  filed=$(grep -c 'filed:' "$work/log" || true)
  printf '%6d Hz, %5d s: CPU %s %% of one core, RSS %s MiB at the start, %s MiB at the end, peak %s MiB (%d recordings filed)\n' \
    "$rate" "$length" "$(share $((c1 - c0)) $((t1 - t0)))" "$(mib "$r0")" "$(mib "$r1")" "$(mib "$peak")" "$filed"
  rm -rf "$work"
}

echo "PellRecorder on the simulated line box, both lines recording (load average: $(cut -d' ' -f1-3 /proc/loadavg))"
run 8000 "$seconds" 0
run 32000 "$seconds" 0
if [ "$long" -gt 0 ]; then
  echo "Long run at 8000 Hz, a 59 s call on both lines every minute:"
  run 8000 "$long" 60
fi
