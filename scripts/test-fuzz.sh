#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*_fuzz.cpp) with clang in build/fuzz and
# runs each for a fixed time (KV_FUZZ_SECONDS, default 20) from its seed
# corpus in fuzz/corpus/<target>/. A crash, a sanitizer report or a leak
# fails the script; the input that caused it is left in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/fuzz
seconds=${KV_FUZZ_SECONDS:-20}

targets=()
for src in fuzz/*_fuzz.cpp; do
  [ -e "$src" ] || continue
  targets+=("$(basename "$src" .cpp)")
done
[ ${#targets[@]} -gt 0 ] || exit 0

cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_SANITIZE=ON -DKV_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

mkdir -p "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
  echo "== fuzzing $target for ${seconds}s"
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds+=("fuzz/corpus/$target")
  # Every target runs even when one fails, so one report shows them all.
  if ! KVPS_STATE= "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" "$corpus" "${seeds[@]}"; then
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets failed: ${failed[*]} (inputs in $build/artifacts)" >&2
  exit 1
fi
