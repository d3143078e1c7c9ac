#!/usr/bin/env bash
# Installs what is needed, checks the layout, then builds and runs every test: the pure-core tests under
# AddressSanitizer/UBSan, the threaded tests under ThreadSanitizer, the full suite, each fuzz
# target for 30 s (when clang is present), and the Debian package (built from the full build,
# installed, used, purged). clang-tidy runs on every C++ file changed since the commit its
# baseline was measured on, or including a file that changed (scripts/check-style.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

# Each stage's wall time, printed at the end, shows where CI's minutes go.
stage_names=() stage_seconds=() stage_started=$SECONDS
stage() {
  stage_names+=("$1") stage_seconds+=($((SECONDS - stage_started)))
  stage_started=$SECONDS
}
print_stages() {
  echo "== time per stage"
  for i in "${!stage_names[@]}"; do printf '%6d s  %s\n' "${stage_seconds[$i]}" "${stage_names[$i]}"; done
  printf '%6d s  in all\n' "$SECONDS"
}
trap print_stages EXIT

bash scripts/install-deps.sh
jobs=$(nproc)
stage "installing packages"

bash scripts/check-style.sh format
echo "== the clang-tidy gate on a throw-away tree"
bash scripts/check-style-test.sh
stage "layout and the gate's self-test"

echo "== core and threaded tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELL_WERROR=ON \
  -DPELL_WITH_GUI=OFF -DPELL_WITH_DEVICES=OFF -DPELL_WITH_BENCHMARKS=OFF \
  -DPELL_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j "$jobs" --target pell_tests_core pell_tests_threads
# One process per test program, not per case: a sanitized process start costs more than a case.
python3 scripts/run-test-programs.py build-asan '^(core|threads)$' "$jobs"
stage "AddressSanitizer/UBSan build and tests"

echo "== threaded tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELL_WERROR=ON \
  -DPELL_WITH_GUI=OFF -DPELL_WITH_DEVICES=OFF -DPELL_WITH_BENCHMARKS=OFF \
  -DPELL_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs" --target pell_tests_threads
# ASLR with a high entropy breaks older TSan runtimes; keep the mapping it expects.
TSAN_OPTIONS="halt_on_error=1" setarch "$(uname -m)" -R \
  python3 scripts/run-test-programs.py build-tsan '^threads$' "$jobs"
stage "ThreadSanitizer build and tests"

echo "== full build and every test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELL_WERROR=ON \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build build -j "$jobs"
stage "full build"
ctest --test-dir build -j "$jobs" --output-on-failure
stage "every test"

echo "== clang-tidy on what changed since its baseline"
bash scripts/check-style.sh tidy build
stage "clang-tidy"

echo "== fuzz targets (clang's libFuzzer with AddressSanitizer and UBSan), 30 s each"
bash scripts/fuzz.sh 30
stage "fuzzing"

echo "== Debian package: lintian, install, a recording as a desktop user, purge"
bash scripts/test-package.sh build
stage "Debian package"
