#!/usr/bin/env bash
# Installs what is needed, builds the suite and shows what it does on the simulated line box.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

echo "Built: $(ls build/recorder/app/PellRecorder build/player/ui/PellPlayer build/configurator/Pell2CFG | tr '\n' ' ')"
