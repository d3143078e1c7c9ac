#!/usr/bin/env bash
# The retention soak (scripts/soak-replay.sh --retention): the demo's two calls a day through
# pell-replay for DAYS simulated days, with the custody records, checked with pell-catalogue.
#
#   scripts/soak-retention.sh [BUILD_DIR] [DAYS]        (DAYS: 60 or more, 365 by default)
set -euo pipefail

build=${1:-build}
days=${2:-365}
replay=$build/tools/pell-replay/pell-replay
demo=$build/tools/pell-replay/pell-demo-scenario
catalogue=$build/tools/pell-catalogue/pell-catalogue
for tool in "$replay" "$demo" "$catalogue"; do
  [[ -x $tool ]] || { echo "soak: $tool not built" >&2; exit 2; }
done
if (( days < 60 )); then echo "soak: DAYS must be 60 or more (the rule keeps 30)" >&2; exit 2; fi

work=$(mktemp -d /tmp/pell-retention.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "soak: $*" >&2; failures=$((failures + 1)); }
day_date() { date -u -d "2026-01-05 + $1 days" +%Y-%m-%d; }
folder_name() { date -u -d "$1" +%d.%m.%Y; }
started=$(date +%s)

# Replays the demo's calls of each day into $1 (--disk-mb $2), appending what was filed to $1/filed.txt
# and the last day's messages to $1/err.txt.
run_days() {
  local place=$1 disk=$2 count=$3 hook=${4:-}
  : > "$place/filed.txt"
  for (( day = 0; day < count; day++ )); do
    if ! "$replay" --folder "$place" --wav "$place/call.wav" --timeline "$place/timeline.txt" \
        --start "$(day_date "$day") 09:00:00" --disk-mb "$disk" >> "$place/filed.txt" 2> "$place/err.txt"; then
      fail "$(day_date "$day"): pell-replay failed: $(head -3 "$place/err.txt")"
    fi
    if [[ -n $hook ]]; then "$hook" "$day"; fi
  done
}

# ---- Delete after 30 days, one protected call ------------------------------------------------
age=$work/age
"$demo" "$age"
printf '[line1]\r\ndelete_after_days=30\r\n[line2]\r\ndelete_after_days=30\r\n' > "$age/recorder.ini"
protected=
protect_first() {
  [[ $1 -eq 0 ]] || return 0
  protected=$(awk -F'\t' '$1 == 2 { print $2; exit }' "$age/filed.txt")
  "$catalogue" protect --reason "soak hold" "$protected" > /dev/null || fail "cannot protect $protected"
}
run_days "$age" 100000 "$days" protect_first
today=$(day_date $((days - 1)))
filed=$(wc -l < "$age/filed.txt")

# Exactly the last 30 days stay on each line, and the protected call's day with that call only.
expected=$(for (( back = 29; back >= 0; back-- )); do folder_name "$(date -u -d "$today - $back days" +%Y-%m-%d)"; done | sort)
held_day=$(basename "$(dirname "$protected")")
for line in line1 line2; do
  want=$expected
  [[ $line == line2 ]] && want=$(printf '%s\n%s\n' "$expected" "$held_day" | sort -u)
  have=$(find "$age/$line" -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | sort)
  [[ $have == "$want" ]] || fail "$line keeps $(echo "$have" | wc -l) day folders, not the last 30 (+ the held one): $(diff <(echo "$want") <(echo "$have") | grep '^[<>]' | head -4 | tr '\n' ' ')"
done
[[ -f $protected ]] || fail "the protected call $protected was removed"
held_files=$(find "$age/line2/$held_day" -name '*.mp3' | wc -l)
[[ $held_files -eq 1 ]] || fail "the protected call's day keeps $held_files recordings, not just the protected one"
kept=0 removed=0
: > "$work/removed.txt"
while IFS=$'\t' read -r channel path number mark; do
  day=$(basename "$(dirname "$path")")
  if grep -qx "$day" <<< "$expected" || [[ $path == "$protected" ]]; then
    kept=$((kept + 1))
    [[ -f $path ]] || fail "kept day lost $path"
  else
    removed=$((removed + 1))
    echo "$path" >> "$work/removed.txt"
    [[ ! -e $path ]] || fail "past its keeping time but still there: $path"
  fi
done < "$age/filed.txt"

# verify proves every kept file; the trail names every removal, by retention, once.
verify_out=$("$catalogue" verify "$age/line1" "$age/line2") || fail "verify: $(echo "$verify_out" | tail -3)"
grep -q "^$kept recordings verified, 0 problems" <<< "$verify_out" || fail "verify: $(echo "$verify_out" | tail -1), $kept kept"
"$catalogue" audit "$age/line1" "$age/line2" > "$work/audit.txt" || fail "audit: the trail is broken"
awk -F'\t' '$4 == "retention" && $5 ~ /\.mp3$/ { print $5 }' "$work/audit.txt" | sort > "$work/audited.txt"
sort "$work/removed.txt" | cmp -s - "$work/audited.txt" ||
  fail "audit: $(wc -l < "$work/audited.txt") retention entries for $removed removals: $(diff <(sort "$work/removed.txt") "$work/audited.txt" | grep '^[<>]' | head -3 | tr '\n' ' ')"
# A day left holding only its protected call frees nothing and is not logged as removed.
history=$(grep -c ' was removed (older than 30 days)' "$age/history.log" || true)
removed_days=$(xargs -r -n1 dirname < "$work/removed.txt" | sort -u | wc -l)
[[ $history -eq $removed_days ]] || fail "history.log: $history removals of day folders, not $removed_days"

# Erasure of line 1's caller: none of its calls stay, the trail records it without the number.
number=$(awk -F'\t' '$1 == 1 && $3 != "" { print $3; exit }' "$age/filed.txt")
digits=${number//[^0-9]/}
[[ -n $digits ]] || fail "line 1's calls carry no number to erase"
index=$work/index.sqlite
erase_out=$("$catalogue" erase --number "$digits" --yes --index "$index" "$age/line1" "$age/line2") ||
  fail "erase: $erase_out"
grep -q "^30 of 30 calls erased for good" <<< "$erase_out" || fail "erase: $(echo "$erase_out" | tail -1)"
left=$("$catalogue" search --number "$digits" --index "$index" "$age/line1" "$age/line2")
[[ -z $left ]] || fail "after the erasure the number still finds: $(echo "$left" | head -2)"
[[ -z $(find "$age/line1" -name '*.mp3' -print -quit) ]] || fail "line 1 still holds recordings after its only caller was erased"
grep -qF "$digits" "$age/line1/audit.log" "$age/line2/audit.log" && fail "the audit trail holds the erased number"
"$catalogue" audit "$age/line1" > "$work/audit1.txt" || fail "audit after the erasure: the trail is broken"
grep -q $'\terase\t' "$work/audit1.txt" || fail "the audit trail has no record of the erasure"
"$catalogue" verify "$age/line1" "$age/line2" > /dev/null || fail "verify after the erasure finds a problem"
echo "soak: $days days, delete after 30: $filed filed, $kept kept (+1 protected of them), $removed removed and audited, 30 erased"

# ---- Keep at least 10 days, cleaning on a disk that fills ---------------------------------------
space=$work/space
"$demo" "$space"
printf '[line1]\r\nkeep_days=10\r\n[line2]\r\nkeep_days=10\r\n' > "$space/recorder.ini"
space_days=20
# A disk of 1.4 MB, cleaned below 1 MB free: the demo's calls of about 9 days fit (45 kB a day).
run_days "$space" 1.4 "$space_days"
last=$(day_date $((space_days - 1)))
for (( back = 0; back < 10; back++ )); do
  name=$(folder_name "$(date -u -d "$last - $back days" +%Y-%m-%d)")
  for line in line1 line2; do
    [[ -d $space/$line/$name ]] || fail "keep 10 days: $line/$name was removed though younger than 10 days"
  done
done
oldest=$(find "$space/line1" "$space/line2" -mindepth 1 -maxdepth 1 -type d -printf '%f\n' |
  awk -F. '{ print $3 $2 $1 }' | sort | head -1)
[[ $oldest -ge $(date -u -d "$last - 9 days" +%Y%m%d) ]] || fail "keep 10 days: $oldest is older than needed, cleaning stopped early"
cleaned=$(grep -c ' was removed' "$space/history.log" || true)
(( cleaned > 0 )) || fail "keep 10 days: the disk filled but nothing was cleaned"
grep -q 'days its recordings must be kept, so none was removed' "$space/err.txt" ||
  fail "keep 10 days: a full disk of days to keep raised no alarm: $(head -2 "$space/err.txt")"
"$catalogue" verify "$space/line1" "$space/line2" > /dev/null || fail "keep 10 days: verify finds a problem"
cleaned_files=$("$catalogue" audit "$space/line1" "$space/line2" | awk -F'\t' '$4 == "clean" && $5 ~ /\.mp3$/' | wc -l)
(( cleaned_files > 0 )) || fail "keep 10 days: the audit trail has no cleaning removal"
echo "soak: $space_days days, keep 10 on a 1.4 MB disk: $cleaned day folders ($cleaned_files recordings) cleaned, the last 10 kept, alarm raised"

echo "soak: retention done in $(( $(date +%s) - started )) s, $failures failure(s)"
[[ $failures -eq 0 ]]
