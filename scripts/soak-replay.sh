#!/usr/bin/env bash
# Soak run of the recording core through pell-replay (not run by CI): CALLS simulated calls over
# DAYS simulated days, the drop folders on a small tmpfs with cleaning on. After each day it checks
# that every file reported filed exists and decodes (with the player's engine) and carries its
# tag; at the end that counters are consecutive per line and history.log agrees with the disk.
# Prints the peak and final RSS of every day's run.
#
#   sudo scripts/soak-replay.sh [BUILD_DIR] [CALLS] [DAYS]      (root: mounts the tmpfs)
#
# With --retention it runs the demo's calls through DAYS simulated days (a year by default; CI
# runs 60) twice, through pell-replay and pell-catalogue:
#  - "delete after 30 days" on both lines and one protected call: exactly the last 30 days and
#    the protected call stay, `verify` proves every kept file, the audit trail names every
#    removal, and erasing line 1's caller leaves none of its calls and a record without the number;
#  - "keep at least 10 days" with cleaning on a simulated disk that fills: cleaning removes only
#    older days, and once only those 10 are left the recorder raises its disk alarm instead.
#
#   scripts/soak-replay.sh --retention [BUILD_DIR] [DAYS]
set -euo pipefail

if [[ ${1:-} == --retention ]]; then
  shift
  exec bash "$(cd "$(dirname "$0")" && pwd)/soak-retention.sh" "$@"
fi

build=${1:-build}
calls=${2:-10000}
days=${3:-28}
replay=$build/tools/pell-replay/pell-replay
mp3=$build/tools/pell-mp3/pell-mp3
here=$(cd "$(dirname "$0")" && pwd)
for tool in "$replay" "$mp3"; do
  [[ -x $tool ]] || { echo "soak: $tool not built" >&2; exit 2; }
done

work=$(mktemp -d /tmp/pell-soak.XXXXXX)
drop=$work/drop
mkdir -p "$drop"
mounted=0
if [[ $(id -u) -eq 0 ]] && mount -t tmpfs -o size=48m tmpfs "$drop"; then
  mounted=1
else
  echo "soak: not root, the drop folders stay on $(df --output=target "$drop" | tail -1)" >&2
fi
cleanup() {
  if [[ $mounted -eq 1 ]]; then umount "$drop"; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Two calls per slot, one per line.
slots_per_day=$(( (calls / 2 + days - 1) / days ))
/usr/bin/python3 "$here/soak_day.py" "$slots_per_day" "$work/day.wav" "$work/day.timeline"
printf '[common]\r\nsamplerate=8000\r\ncleaning=1\r\nfree_disk_space=20\r\n' > "$work/settings.ini"
printf '[channel1]\r\ndrop_folder=%s/line1\r\npreffix=in-\r\ngain=1\r\nstereo=0\r\nsensitive_control=0\r\nend_of_file=2\r\nclip=0\r\nmax_file_length=10\r\n' "$drop" >> "$work/settings.ini"
printf '[channel2]\r\ndrop_folder=%s/line2\r\npreffix=out-\r\ngain=1\r\nstereo=0\r\nsensitive_control=1\r\nend_of_file=1\r\nclip=0\r\nmax_file_length=10\r\n' "$drop" >> "$work/settings.ini"

echo "soak: $calls calls, $days days of $slots_per_day slots a line, drop folders on ${drop} ($([[ $mounted -eq 1 ]] && echo tmpfs 48 MB || echo no tmpfs))"
: > "$work/filed.txt"
failures=0
started=$(date +%s)
for (( day = 0; day < days; day++ )); do
  date=$(date -d "2026-01-05 + $day days" +%Y-%m-%d)
  "$replay" --folder "$work" --wav "$work/day.wav" --timeline "$work/day.timeline" --start "$date 08:00:00" \
    > "$work/out.txt" 2> "$work/err.txt" &
  pid=$!
  peak=0 last=0
  while kill -0 "$pid" 2>/dev/null; do
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    if [[ -n $rss ]]; then
      last=$rss
      (( rss > peak )) && peak=$rss
    fi
    sleep 0.1
  done
  wait "$pid" || { echo "soak: day $date: pell-replay failed: $(cat "$work/err.txt")" >&2; failures=$((failures + 1)); }
  day_files=0
  while IFS=$'\t' read -r channel path number mark; do
    day_files=$((day_files + 1))
    if [[ ! -f $path ]]; then
      echo "soak: reported but missing: $path" >&2; failures=$((failures + 1)); continue
    fi
    if [[ $(tail -c 128 "$path" | head -c 3) != TAG ]]; then
      echo "soak: no tag: $path" >&2; failures=$((failures + 1))
    fi
    if ! "$mp3" decode "$path" /dev/null > /dev/null 2>&1; then
      echo "soak: does not decode: $path" >&2; failures=$((failures + 1))
    fi
  done < "$work/out.txt"
  cat "$work/out.txt" >> "$work/filed.txt"
  if grep -v '^pell-replay: log: ' "$work/err.txt" | grep -q .; then
    echo "soak: day $date told: $(head -3 "$work/err.txt")" >&2
  fi
  printf 'day %2d %s: %4d files filed, RSS peak %6d kB, last %6d kB, drop folders %s used\n' \
    "$((day + 1))" "$date" "$day_files" "$peak" "$last" "$(du -sh "$drop" | cut -f1)"
done

# Counters consecutive per line, over every file ever reported.
for channel in 1 2; do
  awk -F'\t' -v c="$channel" '$1 == c { n = $2; sub(/.*-/, "", n); sub(/\.mp3$/, "", n); print n + 0 }' "$work/filed.txt" \
    | awk -v c="$channel" 'NR > 1 && $1 != prev + 1 { printf "soak: line %s: %d follows %d\n", c, $1, prev; bad++ }
                           { prev = $1 } END { printf "line %s: %d files, numbers %s\n", c, NR, bad ? "NOT consecutive" : "consecutive"; exit bad ? 1 : 0 }' \
    || failures=$((failures + 1))
done

# history.log: every folder it says was removed is gone, each once, oldest first per line.
touch "$work/history.log"
removed=$(grep -c ' was removed' "$work/history.log" || true)
bad_log=$(tr -d '\r' < "$work/history.log" | awk '
  / was removed$/ { path = $0; sub(/ was removed$/, "", path); if (seen[path]++) { print "twice: " path; next }
                    cmd = "test -e \"" path "\""; if (system(cmd) == 0) print "still there: " path
                    split(path, parts, "/"); day = parts[length(parts)]; line = parts[length(parts) - 1]
                    split(day, d, "."); key = d[3] d[2] d[1]; if (key <= last[line]) print "out of order: " path; last[line] = key; next }
  { print "unexpected: " $0 }' || true)
if [[ -n $bad_log ]]; then echo "soak: history.log: $bad_log" >&2; failures=$((failures + 1)); fi
total=$(wc -l < "$work/filed.txt")
echo "soak: $total files filed in $(( $(date +%s) - started )) s, $removed day folders cleaned, $failures failure(s)"
[[ $failures -eq 0 ]]
