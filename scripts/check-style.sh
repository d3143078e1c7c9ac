#!/usr/bin/env bash
# Keeps the style by tools, not by habit.
#   bash scripts/check-style.sh format
#       every tracked C++ file must be laid out as .clang-format says
#   bash scripts/check-style.sh tidy BUILD_DIR [BASE]
#       clang-tidy (.clang-tidy) on the C++ files changed since BASE ($PELL_TIDY_BASE, else
#       HEAD~1) plus uncommitted ones; fails on findings not in scripts/clang-tidy-baseline.txt
#   bash scripts/check-style.sh tidy BUILD_DIR --all --write-baseline
#       records the findings of the whole tree as the baseline
# BUILD_DIR is a configured and built tree with compile_commands.json (the full build).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:?format or tidy}
baseline=scripts/clang-tidy-baseline.txt

if [ "$mode" = format ]; then
  echo "== layout (clang-format)"
  mapfile -t sources < <(git ls-files '*.cpp' '*.h')
  if ! report=$(clang-format --dry-run --Werror "${sources[@]}" 2>&1); then
    printf '%s\n' "$report" | grep -oE '^[^: ]+\.(cpp|h):' | sort -u | sed 's/:$//; s/^/  not laid out: /'
    echo "Fix with: clang-format -i \$(git ls-files '*.cpp' '*.h')"
    exit 1
  fi
  echo "== ${#sources[@]} files laid out as .clang-format says"
  exit 0
fi

[ "$mode" = tidy ] || { echo "unknown mode $mode" >&2; exit 2; }
build=${2:?build folder with compile_commands.json}
base=${3:-${PELL_TIDY_BASE:-HEAD~1}}
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json" >&2; exit 2; }

# Files to tidy: the changed sources, and the source beside each changed header.
if [ "$base" = "--all" ]; then
  mapfile -t changed < <(git ls-files '*.cpp')
elif git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  mapfile -t changed < <({ git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h'
                           git ls-files --others --exclude-standard -- '*.cpp' '*.h'; } | sort -u)
else
  echo "== clang-tidy skipped: no commit $base to compare with"
  exit 0
fi
units=()
for f in "${changed[@]}"; do
  [[ $f == *.h ]] && f=${f%.h}.cpp
  [ -f "$f" ] && grep -qF "\"file\": \"$PWD/$f\"" "$build/compile_commands.json" && units+=("$f")
done
if [ "${#units[@]}" -gt 0 ]; then mapfile -t units < <(printf '%s\n' "${units[@]}" | sort -u); fi
if [ "$base" = "--all" ]; then echo "== clang-tidy on all ${#units[@]} compiled file(s)"
else echo "== clang-tidy on ${#units[@]} file(s) changed since $base"; fi

# A finding is its file, check and message: line numbers move with every edit.
findings=""
if [ "${#units[@]}" -gt 0 ]; then
  findings=$(printf '%s\n' "${units[@]}" |
    xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null |
    grep -E '^/.*: (warning|error): .* \[[a-z0-9.,-]+\]$' |
    grep -v '\[clang-diagnostic-[a-z0-9-]*\]$' |
    sed -E "s|^$PWD/||; s/^([^:]*):[0-9]+:[0-9]+: (warning|error): /\1: /" | LC_ALL=C sort -u || true)
fi

if [ "${4:-}" = "--write-baseline" ]; then
  printf '%s\n' "$findings" | sed '/^$/d' >"$baseline"
  echo "== $(wc -l <"$baseline") finding(s) written to $baseline"
  exit 0
fi
new=$(LC_ALL=C comm -23 <(printf '%s\n' "$findings" | sed '/^$/d') <(LC_ALL=C sort -u "$baseline"))
if [ -n "$new" ]; then
  echo "New clang-tidy findings (fix them, or justify and add them to $baseline):"
  printf '%s\n' "$new" | sed 's/^/  /'
  exit 1
fi
echo "== no new clang-tidy findings"
