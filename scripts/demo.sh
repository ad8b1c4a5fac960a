#!/usr/bin/env bash
# The main job: builds the modules and the kvps command on the emulated
# platform and runs the demonstration (install a printer of each model set,
# print the bundled sample drawing).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j"$jobs"
if [ -x build/native-release/bin/kvps ]; then
  exec build/native-release/bin/kvps demo "$@"
fi
echo "kvps is not built yet; the modules that were built:"
ls -l build/native-release/modules
