#!/usr/bin/env bash
# The main job: builds the modules and the kvps command on the emulated
# platform and runs the demonstration (install a printer of each model set,
# print the bundled sample drawing).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset native-release >/dev/null
# The command and the twelve modules it loads; the tests are not needed here.
cmake --build --preset native-release -j"$jobs" --target kvps
exec build/native-release/bin/kvps demo "$@"
