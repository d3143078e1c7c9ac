#!/usr/bin/env bash
# Keeps the style by tools, not by habit.
#   bash scripts/check-style.sh format
#       every tracked C++ file must be laid out as .clang-format says
#   bash scripts/check-style.sh tidy BUILD_DIR [BASE]
#       clang-tidy (.clang-tidy) on every compiled file that differs from BASE or includes a file
#       that does (by ninja's dependency records), uncommitted changes too. BASE defaults to the
#       commit scripts/clang-tidy-baseline.txt was measured on, so nothing changed since the
#       baseline goes unchecked however many commits a submission has. Fails when a (file,
#       check, message) is found more often than the baseline allows, and when clang-tidy fails
#       on a file (exit status, compiler error).
#   bash scripts/check-style.sh tidy BUILD_DIR --all [--write-baseline]
#       the whole tree; --write-baseline records its findings as the baseline, measured on HEAD
#       (so it refuses to run while C++ files or .clang-tidy have uncommitted changes)
#   bash scripts/check-style.sh tidy BUILD_DIR --update-baseline
#       checks what changed since the baseline's commit as above and records the result as the
#       baseline of HEAD: findings of the files checked are taken as found, the others kept
#   bash scripts/check-style.sh naming BUILD_DIR [--list]
#       counts per kind the names off the house naming (.clang-tidy's readability-identifier-naming)
# BUILD_DIR is a configured and built Ninja tree with compile_commands.json (the full build).
# PELL_TIDY_JOBS sets how many clang-tidy processes run at once (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:?format, tidy or naming}
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

[ "$mode" = tidy ] || [ "$mode" = naming ] || { echo "unknown mode $mode (format, tidy or naming)" >&2; exit 2; }
build=${2:?build folder with compile_commands.json}
shift 2
all=0 write=0 update=0 list=0 base="" config=""
if [ "$mode" = naming ]; then all=1 config=--checks=-*,readability-identifier-naming; fi
for arg in "$@"; do
  case $arg in
    --all) all=1 ;;
    --write-baseline) [ "$mode" = tidy ] || { echo "--write-baseline is for tidy" >&2; exit 2; }; write=1 ;;
    --update-baseline) [ "$mode" = tidy ] || { echo "--update-baseline is for tidy" >&2; exit 2; }; update=1 write=1 ;;
    --list) list=1 ;;
    -*) echo "unknown option $arg" >&2; exit 2 ;;
    *) base=$arg ;;
  esac
done
[ "$write" = 0 ] || [ "$all" = 1 ] || [ "$update" = 1 ] || { echo "--write-baseline needs --all" >&2; exit 2; }
[ "$update" = 0 ] || [ "$all" = 0 ] || { echo "--update-baseline checks only what changed; use --all --write-baseline for the whole tree" >&2; exit 2; }
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: configure $build first" >&2; exit 2; }
[ -f "$build/build.ninja" ] || { echo "$build is not a Ninja build: configure it with -G Ninja (the check follows ninja's header dependencies)" >&2; exit 2; }
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(clang-tidy --version | sed -n 's/.*LLVM version \([0-9][0-9.]*\).*/\1/p')
[ -n "$version" ] || { echo "clang-tidy --version says no LLVM version: is clang-tidy installed?" >&2; exit 2; }

if [ "$write" = 1 ] && [ -n "$(git status --porcelain -- '*.cpp' '*.h' .clang-tidy)" ]; then
  echo "Commit or stash these first: the baseline has to describe a commit." >&2
  git status --short -- '*.cpp' '*.h' .clang-tidy >&2
  exit 2
fi

# The compiled files of the tree (not the build's generated ones), as "object<TAB>source".
objects=$(awk -v root="$PWD/" -v build="$build/" '
  /"command":/ { match($0, / -o [^ ]+/); obj = substr($0, RSTART + 4, RLENGTH - 4) }
  /"file":/ {
    sub(/.*"file": "/, ""); sub(/".*/, "")
    if (index($0, root) == 1 && index($0, build) != 1) print obj "\t" substr($0, length(root) + 1)
  }' "$build/compile_commands.json" | LC_ALL=C sort -t "$(printf '\t')" -k2 -u)
mapfile -t tracked < <(git ls-files '*.cpp' '*.cc' '*.cxx')
tracked_set=$(printf '%s\n' "${tracked[@]}" | LC_ALL=C sort -u)
objects=$(printf '%s\n' "$objects" | awk -F '\t' 'NR == FNR { t[$0] = 1; next } ($2 in t)' <(printf '%s\n' "$tracked_set") -)

recorded="" recorded_version=""
if [ -f "$baseline" ]; then
  recorded=$(sed -n '1s/^# clang-tidy findings of commit \([0-9a-f]\{40\}\) .*/\1/p' "$baseline")
  recorded_version=$(sed -n '1s/^# clang-tidy findings of commit [0-9a-f]* (clang-tidy \([0-9.]*\)).*/\1/p' "$baseline")
fi
why=""
if [ "$all" = 0 ] && [ -z "$base" ]; then
  if [ -z "$recorded" ]; then why="$baseline names no commit it was measured on"
  elif ! git cat-file -e "$recorded^{commit}" 2>/dev/null; then
    why="commit $recorded, which $baseline was measured on, is not in this clone (history rewritten?)"
  elif [ "$recorded_version" != "$version" ]; then
    why="$baseline was measured with clang-tidy $recorded_version, this is $version"
  else base=$recorded
  fi
fi
if [ "$all" = 0 ] && [ -z "$why" ] && ! git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  echo "no commit $base to compare with" >&2
  exit 2
fi

if [ "$all" = 0 ] && [ -z "$why" ]; then
  # Everything that differs from BASE, committed or not, and files git does not know yet.
  changed=$({ git diff --name-only --no-renames --diff-filter=d "$base" --
              git ls-files --others --exclude-standard; } | LC_ALL=C sort -u)
  if printf '%s\n' "$changed" | grep -qx '.clang-tidy'; then why=".clang-tidy changed since $base"; fi
fi
if [ "$update" = 1 ] && [ -n "$why" ]; then
  echo "Cannot update the baseline: $why. Measure it anew with --all --write-baseline." >&2
  exit 2
fi
if [ "$all" = 1 ] || [ -n "$why" ]; then
  units=$(printf '%s\n' "$objects" | cut -f2)
  if [ -n "$why" ]; then echo "== the whole tree, because $why"; fi
else
  # A unit is affected when its source or anything it includes changed, or when ninja holds no
  # valid record of what it includes (not built yet, or edited since).
  printf '%s\n' "$changed" >"$work/changed"
  printf '%s\n' "$objects" >"$work/objects"
  ninja -C "$build" -t deps >"$work/deps"
  units=$(awk -v build="$build" -v root="$PWD/" -v changedList="$work/changed" -v objectList="$work/objects" '
    function canon(p,    n, i, parts, out, k) {
      if (substr(p, 1, 1) != "/") p = build "/" p
      n = split(p, parts, "/"); k = 0
      for (i = 1; i <= n; i++) {
        if (parts[i] == "" || parts[i] == ".") continue
        if (parts[i] == "..") { if (k > 0) k--; continue }
        out[++k] = parts[i]
      }
      p = ""; for (i = 1; i <= k; i++) p = p "/" out[i]
      return p
    }
    FILENAME == changedList { if ($0 != "") changed[root $0] = 1; next }
    FILENAME == objectList { split($0, f, "\t"); source[f[1]] = f[2]; next }
    /^[^ ].*: #deps/ { obj = $1; sub(/:$/, "", obj); seen[obj] = 1; if ($0 !~ /\(VALID\)$/) hit[obj] = 1; next }
    /^    / { if (canon(substr($0, 5)) in changed) hit[obj] = 1 }
    END {
      for (o in source) if (!(o in seen) || (o in hit) || ((root source[o]) in changed)) print source[o]
    }' "$work/changed" "$work/objects" "$work/deps" | LC_ALL=C sort)
fi
mapfile -t units < <(printf '%s\n' "$units" | sed '/^$/d')
total=$(printf '%s\n' "$objects" | sed '/^$/d' | wc -l)
if [ "$all" = 1 ] || [ -n "$why" ]; then echo "== clang-tidy on all ${#units[@]} compiled file(s)"
else
  echo "== clang-tidy on ${#units[@]} of $total compiled file(s): changed since ${base:0:12}, or including a change"
  if [ $((${#units[@]} * 4)) -gt "$total" ]; then
    echo "   (a baseline measured anew on a commit that passes brings this back to none)"
  fi
fi

# Each file's output, errors and exit status are kept: a file clang-tidy cannot read fails.
# -Wno-error: the build's -Werror would turn clang's compiler warnings, which gcc does not all
# give, into errors on files that build; a real compiler error still fails.
started=$SECONDS
if [ "${#units[@]}" -gt 0 ]; then
  printf '%s\n' "${units[@]}" | awk '{ print NR, $0 }' |
    xargs -P "${PELL_TIDY_JOBS:-$(nproc)}" -L 1 bash -c '
      out=$1/$5 t=$SECONDS
      clang-tidy -p "$2" --quiet --extra-arg=-Wno-error ${4:+"$4"} "$PWD/$6" >"$out.out" 2>"$out.err"
      echo $? >"$out.rc"
      echo "  [$5/$3] $6 ($((SECONDS - t)) s)"' _ "$work" "$build" "${#units[@]}" "$config"
fi
[ "${#units[@]}" -eq 0 ] || echo "== clang-tidy took $((SECONDS - started)) s for ${#units[@]} file(s) with ${PELL_TIDY_JOBS:-$(nproc)} job(s)"

failed=0
errors=$(for i in "${!units[@]}"; do
  out=$work/$((i + 1))
  rc=$(cat "$out.rc" 2>/dev/null || echo "none (not run)")
  lines=$(grep -hE '(^|: )error: |^Error ' "$out.out" "$out.err" 2>/dev/null | awk '!seen[$0]++' | head -n 5 || true)
  if [ "$rc" != 0 ] || [ -n "$lines" ]; then
    echo "${units[$i]} (exit status $rc):"
    if [ -n "$lines" ]; then printf '%s\n' "$lines"; else tail -n 5 "$out.err" 2>/dev/null || true; fi
  fi
done)
if [ -n "$errors" ]; then
  failed=1
  echo "clang-tidy failed on these files; a file it cannot read is not checked:"
  printf '%s\n' "$errors" | sed 's/^/  /'
fi

# A finding is its file, check and message: line numbers move with every edit. The same place
# reported through several files that include it counts once.
findings=""
if [ "${#units[@]}" -gt 0 ]; then
  findings=$(cat "$work"/*.out |
    grep -E '^/.*:[0-9]+:[0-9]+: warning: .* \[[A-Za-z0-9.,_-]+\]$' |
    awk -v root="$PWD/" -v build="$build/" 'index($0, root) == 1 && index($0, build) != 1' | LC_ALL=C sort -u |
    sed -E "s|^$PWD/||; s/^([^:]*):[0-9]+:[0-9]+: warning: /\1: /" |
    LC_ALL=C sort | uniq -c | sed -E 's/^ *([0-9]+) /\1\t/' || true)
fi

if [ "$mode" = naming ]; then
  # Counts what the rename pass has ahead of it, per kind of name; --list names every one.
  if [ "$list" = 1 ]; then printf '%s\n' "$findings" | grep -F '[readability-identifier-naming]' || true; fi
  printf '%s\n' "$findings" | sed -n "s/^\([0-9]*\)\t.*: invalid case style for \(.*\) '.*' \[readability-identifier-naming\]$/\1\t\2/p" |
    awk -F '\t' '{ n[$2] += $1; all += $1 } END { for (k in n) printf "%6d  %s\n", n[k], k; printf "%6d  in all\n", all }' |
    LC_ALL=C sort -k1,1nr
  exit "$failed"
fi

if [ "$write" = 1 ]; then
  if [ "$failed" = 1 ]; then echo "Not written: clang-tidy failed on the files above." >&2; exit 1; fi
  if [ "$update" = 1 ]; then
    # Files checked now (or changed) take today's counts; a file not checked kept its findings.
    printf '%s\n' "${units[@]}" "$changed" | sed '/^$/d' | LC_ALL=C sort -u >"$work/checked"
    findings=$(awk -F '\t' -v checkedList="$work/checked" -v baselineFile="$baseline" '
      FILENAME == checkedList { checked[$0] = 1; next }
      FILENAME == baselineFile {
        if ($0 ~ /^#/ || NF != 2) next
        f = $2; sub(/: .*/, "", f); if (!(f in checked)) old[$2] = $1
        next
      }
      NF == 2 { now[$2] = $1 }
      END {
        for (k in old) if (!(k in now) || old[k] > now[k]) now[k] = old[k]
        for (k in now) printf "%d\t%s\n", now[k], k
      }' "$work/checked" "$baseline" <(printf '%s\n' "$findings") | LC_ALL=C sort -t "$(printf '\t')" -k2)
  fi
  {
    echo "# clang-tidy findings of commit $(git rev-parse HEAD) (clang-tidy $version): count, file: message [check]."
    echo "# Written by \"bash scripts/check-style.sh tidy BUILD --all --write-baseline\" (or --update-baseline); commit it alone. Changes"
    echo "# since that commit are held to these counts; a rewrite's diff shows every finding it lets in."
    printf '%s\n' "$findings" | sed '/^$/d'
  } >"$baseline"
  echo "== $(printf '%s\n' "$findings" | sed '/^$/d' | awk -F '\t' '{ n += $1 } END { print n + 0 }') finding(s) written to $baseline"
  exit 0
fi

# More of a finding than the baseline allows fails; fewer is progress, reported for a rewrite.
printf '%s\n' "${units[@]}" >"$work/units"
printf '%s\n' "$findings" >"$work/findings"
report=$(awk -F '\t' -v baselineFile="$baseline" -v unitList="$work/units" '
  FILENAME == baselineFile {
    if ($0 ~ /^#/ || $0 == "") next
    if (NF == 2 && $1 ~ /^[0-9]+$/) allowed[$2] = $1; else unreadable++
    next
  }
  FILENAME == unitList { unit[$0] = 1; next }
  NF == 2 { seen[$2] = $1; if ($1 > allowed[$2] + 0) printf "new\t%s (%d, the baseline allows %d)\n", $2, $1, allowed[$2] + 0 }
  END {
    for (k in allowed) { f = k; sub(/: .*/, "", f); if ((f in unit) && seen[k] + 0 < allowed[k]) gone += allowed[k] - seen[k] }
    if (gone) printf "gone\t%d\n", gone
    if (unreadable) printf "unreadable\t%d\n", unreadable
  }' "$([ -f "$baseline" ] && echo "$baseline" || echo /dev/null)" "$work/units" "$work/findings")
new=$(printf '%s\n' "$report" | sed -n 's/^new\t//p' | LC_ALL=C sort)
gone=$(printf '%s\n' "$report" | sed -n 's/^gone\t//p')
unreadable=$(printf '%s\n' "$report" | sed -n 's/^unreadable\t//p')
if [ -n "$unreadable" ]; then
  echo "== $unreadable line(s) of $baseline are not \"count<TAB>finding\" and allow nothing; measure it anew"
fi
if [ -n "$gone" ]; then
  echo "== $gone finding(s) of the baseline are gone; \"--all --write-baseline\" on a clean commit records that"
fi
if [ -n "$new" ]; then
  echo "New clang-tidy findings (fix them, or mark a deliberate one with // NOLINT(check): why):"
  printf '%s\n' "$new" | sed 's/^/  /'
  exit 1
fi
if [ "$failed" = 1 ]; then exit 1; fi
echo "== no new clang-tidy findings"
