#!/usr/bin/env bash
# Tries the clang-tidy gate of scripts/check-style.sh on a throw-away repository of three small
# files and fails unless the gate fails on each way a finding could slip through: one more of
# a finding the baseline already has, a finding whose change is not the last commit, a finding
# a header brings into a file that did not change, a name off the house naming, and a file or a
# .clang-tidy that clang-tidy cannot parse; and that an updated baseline keeps what it did not check.
#   bash scripts/check-style-test.sh        (about ten seconds; PELL_GATE_TEST_VERBOSE=1 shows the gate)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

git init -q
git config user.name "style gate test"
git config user.email "gate@localhost"
mkdir -p scripts common/core
cp "$here/scripts/check-style.sh" scripts/
cp "$here/.clang-tidy" .
printf 'build/\n' >.gitignore
cat >CMakeLists.txt <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(GateTry CXX)
add_library(gate_try STATIC common/core/share.cpp common/core/user.cpp)
target_include_directories(gate_try PRIVATE ${PROJECT_SOURCE_DIR})
EOF
cat >common/core/share.h <<'EOF'
#pragma once
inline double Parts() { return 3.0; }
double Half(int n);
EOF
cat >common/core/share.cpp <<'EOF'
#include "common/core/share.h"
double Half(int n) { return n / 2; }
EOF
cat >common/core/user.cpp <<'EOF'
#include "common/core/share.h"
double Share(int whole) { return whole / Parts(); }
EOF
printf '#!/bin/sh\n' >scripts/tool.sh
git add -A
git commit -q -m "a tree with one finding"
cmake -S . -B build -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build build >/dev/null

failures=0
log=$work/log
# try WHAT STATUS: runs the gate, which must exit with STATUS and, if given, print TEXT.
try() {
  local what=$1 want=$2 text=${3:-} got=0
  bash scripts/check-style.sh tidy build >"$log" 2>&1 || got=$?
  if [ "$got" != "$want" ] || { [ -n "$text" ] && ! grep -qF -- "$text" "$log"; }; then
    echo "FAIL: $what: exit status $got (expected $want${text:+, and \"$text\"}); the gate said:"
    sed 's/^/    /' "$log"
    failures=$((failures + 1))
  else
    echo "ok: $what"
    if [ -n "${PELL_GATE_TEST_VERBOSE:-}" ]; then sed 's/^/    /' "$log"; fi
  fi
}
commit() { git add -A && git commit -q -m "$1"; }

echo "x" >>common/core/share.cpp
if bash scripts/check-style.sh tidy build --all --write-baseline >"$log" 2>&1; then
  echo "FAIL: the baseline was written over an uncommitted change"
  failures=$((failures + 1))
else
  echo "ok: the baseline is not written over uncommitted C++"
fi
git checkout -q common/core/share.cpp
bash scripts/check-style.sh tidy build --all --write-baseline >"$log" 2>&1 || { cat "$log"; exit 1; }
grep -qP '^1\tcommon/core/share.cpp: result of integer division .*\[bugprone-integer-division\]$' \
  scripts/clang-tidy-baseline.txt || { echo "FAIL: baseline without its one finding"; cat scripts/clang-tidy-baseline.txt; exit 1; }
commit "the baseline"
measured=$(git rev-parse HEAD)

try "an unchanged tree passes" 0 "on 0 of 2 compiled file(s)"

printf 'double Third(int n) { return n / 3; }\n' >>common/core/share.cpp
commit "a second finding with the same message"
try "one more of a finding the baseline holds fails" 1 "(2, the baseline allows 1)"

echo "# a later commit" >>scripts/tool.sh
commit "the last commit touches a script only"
try "a finding is caught when its commit is not the last" 1 "(2, the baseline allows 1)"
git reset -q --hard "$measured"

sed -i 's/return 3.0;/return 3;/; s/inline double Parts/inline int Parts/' common/core/share.h
commit "Parts() counts in int"
try "a header that brings a finding into an unchanged file fails" 1 "common/core/user.cpp: result of integer division"
git reset -q --hard "$measured"

sed -i 's/return 3.0;/return 4.0;/' common/core/share.h
commit "a header change that leaves its users' findings as they were"
try "a change without new findings passes" 0 "on 2 of 2 compiled file(s)"
git reset -q --hard "$measured"

printf 'double Quarter(int n) { return n / 4 + 0.5; }\n' >>common/core/user.cpp
try "an uncommitted finding fails" 1 "common/core/user.cpp: result of integer division"
git reset -q --hard "$measured"

printf 'int half_of(int n) { return n / 2; }\n' >>common/core/user.cpp
commit "a function named off the house style"
try "a name off the house naming fails" 1 "invalid case style for function 'half_of'"
git reset -q --hard "$measured"

printf 'double Broken(int n) { return n +; }\n' >>common/core/user.cpp
commit "a file that does not parse"
try "a file clang-tidy cannot parse fails" 1 "clang-tidy failed on these files"
git reset -q --hard "$measured"

printf 'Checks: [unclosed\n' >.clang-tidy
commit "a .clang-tidy that does not parse"
try "a .clang-tidy clang-tidy cannot read fails" 1 "clang-tidy failed on these files"
git reset -q --hard "$measured"

sed -i "s/^# clang-tidy findings of commit [0-9a-f]*/# clang-tidy findings of commit $(printf '%040d' 7)/" \
  scripts/clang-tidy-baseline.txt
commit "the baseline names a commit this clone lacks"
try "a baseline commit missing from the clone checks the whole tree" 0 "the whole tree, because"
git reset -q --hard "$measured"

printf 'double Fifth(int n) { return n / 5; }\n' >>common/core/user.cpp
commit "a finding that is let in on purpose"
bash scripts/check-style.sh tidy build --update-baseline >"$log" 2>&1 || { cat "$log"; exit 1; }
commit "the baseline updated"
if grep -qP '^1\tcommon/core/share.cpp: result of integer division' scripts/clang-tidy-baseline.txt &&
   grep -qP '^1\tcommon/core/user.cpp: result of integer division' scripts/clang-tidy-baseline.txt &&
   grep -q "of commit $(git rev-parse HEAD~1) " scripts/clang-tidy-baseline.txt; then
  echo "ok: an update keeps the unchecked file's findings and takes the checked one's"
else
  echo "FAIL: the updated baseline is not the old one plus the change's findings:"
  sed 's/^/    /' scripts/clang-tidy-baseline.txt
  failures=$((failures + 1))
fi
try "after an update the tree passes" 0 "no new clang-tidy findings"
printf 'double Sixth(int n) { return n / 6; }\n' >>common/core/user.cpp
commit "one more after the update"
try "an update lets in nothing after it" 1 "(2, the baseline allows 1)"
git reset -q --hard "$measured"

if [ "$failures" -gt 0 ]; then
  echo "== the style gate let $failures of its tries through"
  exit 1
fi
echo "== the style gate failed on every try it should"
