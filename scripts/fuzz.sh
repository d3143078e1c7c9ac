#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (AddressSanitizer and UBSan on), replays every
# seed once, then fuzzes each target for SECONDS (default 60), two at a time.
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
# New inputs go to build-fuzz/runs/<target>/corpus, faults to build-fuzz/runs/<target>/;
# the seeds in fuzz/corpus are only read. Exits 1 when any target found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
if ! command -v clang++ >/dev/null; then
  echo "== clang++ not found: fuzz targets skipped"
  exit 0
fi
all=(fuzz_settings fuzz_configurator fuzz_catalogue_tags fuzz_mp3_frames fuzz_engine_play
     fuzz_callerid_bytes fuzz_callerid_detect fuzz_scenario)
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${all[@]}")

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELL_WERROR=ON \
  -DPELL_WITH_GUI=OFF -DPELL_WITH_DEVICES=OFF -DPELL_WITH_BENCHMARKS=OFF \
  -DPELL_SANITIZE=address,undefined -DPELL_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target pell_fuzzers
ctest --test-dir build-fuzz -L '^fuzz$' --output-on-failure

run() {
  local target=$1 dir=build-fuzz/runs/$1
  mkdir -p "$dir/corpus"
  rm -f "$dir"/crash-* "$dir"/timeout-* "$dir"/leak-* "$dir"/oom-* "$dir"/slow-unit-*
  "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$dir/" "$dir/corpus" "fuzz/corpus/$target" >"$dir/log" 2>&1 || true
}

# Two at a time: the machines this runs on have two cores.
running=0
for target in "${targets[@]}"; do
  run "$target" &
  running=$((running + 1))
  if [ "$running" -ge 2 ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

failed=0
echo "== fuzzing, ${seconds} s per target"
for target in "${targets[@]}"; do
  dir=build-fuzz/runs/$target
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$dir/log" | grep -o '[0-9]*$' || echo "?")
  cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -1 | grep -o '[0-9]*$' || echo "?")
  ft=$(grep -o 'ft: [0-9]*' "$dir/log" | tail -1 | grep -o '[0-9]*$' || echo "?")
  faults=$(find "$dir" -maxdepth 1 \( -name 'crash-*' -o -name 'timeout-*' -o -name 'leak-*' -o -name 'oom-*' \) | wc -l)
  printf '%-22s executions %-10s coverage %-6s features %-6s faults %s\n' "$target" "$execs" "$cov" "$ft" "$faults"
  if [ "$faults" -gt 0 ] || ! grep -q 'Done [0-9]* runs' "$dir/log"; then
    failed=1
    echo "   see $dir/log"
  fi
done
exit "$failed"
