#!/usr/bin/env bash
# Builds both targets and runs every test: the native tests (with
# AddressSanitizer and UndefinedBehaviorSanitizer) through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"

echo "== Windows modules and their exports"
for m in build/windows/modules/*; do
  printf '%s:' "$(basename "$m")"
  x86_64-w64-mingw32-objdump -p "$m" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^\t\[/{printf " %s",$NF} t&&/^$/{t=0}'
  echo
done

for extra in scripts/test-*.sh; do
  [ -e "$extra" ] || continue
  echo "== $extra"
  bash "$extra"
done

echo "== native tests"
ctest --preset native -j"$jobs"
