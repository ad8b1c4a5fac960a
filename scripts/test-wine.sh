#!/usr/bin/env bash
# The reference runs: the platform's conformance tests (tests/platform),
# built for Windows, under Wine beside their native run, and the module
# smoke test (tests/wine/smoke) against the real PE modules of all four
# model sets. Builds the two Windows programs when needed (build/wine-win,
# windows toolchain, -DKV_WINE_TESTS=ON) and fails on any failure, or when
# the Wine run has a test name the native run lacks.
#
# Settings: KV_WINE_BUILD (build/wine-win), KV_NATIVE_BUILD (build/native),
# KV_WINE_MODULES (build/windows/modules; the modules are built in the Wine
# build directory when that one lacks any of them), WINE (wine64).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KV_WINE_BUILD:-build/wine-win}
native=${KV_NATIVE_BUILD:-build/native}
modules=${KV_WINE_MODULES:-build/windows/modules}
wine=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
jobs=2
started=$SECONDS

module_names=()
for prefix in kvpscos kvpsctv kvpscmw kvpscpl; do
  module_names+=("${prefix}u" "${prefix}r" "${prefix}j")
done
missing_module() {
  for m in "${module_names[@]}"; do
    case $m in *j) f=$m.fpl ;; *) f=$m.dll ;; esac
    [ -f "$1/$f" ] || return 0
  done
  return 1
}

echo "== Windows test programs ($build)"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DKV_WINE_TESTS=ON >/dev/null
fi
targets=(kv_platform_tests kv_wine_smoke)
if missing_module "$modules"; then
  echo "no complete module set in $modules: building the modules in $build"
  targets+=("${module_names[@]}")
  modules=$build/modules
fi
cmake --build "$build" -j"$jobs" --target "${targets[@]}"
modules=$(cd "$modules" && pwd)

if [ ! -x "$native/tests/kv_platform_tests" ]; then
  [ -f "$native/build.ninja" ] || cmake --preset native >/dev/null
  cmake --build "$native" -j"$jobs" --target kv_platform_tests
fi

# A throw-away Wine prefix, no display; ANSI code page 932 (Japanese
# locale), the default of the emulated system.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml="
out=$(mktemp -d)
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$out"
}
trap cleanup EXIT
wine_run() { env LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 "$wine" "$@"; }
# A Windows path for a directory (the prefix maps Z: to /).
winpath() { local p; p=$(cd "$1" && pwd); echo "Z:${p//\//\\}"; }

echo "== Wine prefix"
wine_run wineboot -i >/dev/null 2>&1
"$wineserver" -w
echo "$("$wine" --version 2>/dev/null || echo wine) ready after $((SECONDS - started)) s"

status=0
echo "== conformance tests, native ($native/tests/kv_platform_tests)"
(cd "$native" && KVPS_STATE= ASAN_OPTIONS=detect_leaks=1 ./tests/kv_platform_tests) >"$out/native.txt" 2>&1 || status=1
grep -E '^\[  (PASSED|FAILED|SKIPPED) +\]|tests ran' "$out/native.txt" || true

echo "== conformance tests under Wine ($build/wine/kv_platform_tests.exe)"
(cd "$build/wine" && wine_run ./kv_platform_tests.exe 2>&1) | tr -d '\r' | tee "$out/wine.txt" || status=1
grep -q '^\[  PASSED  \]' "$out/wine.txt" && ! grep -q '^\[  FAILED  \]' "$out/wine.txt" || status=1

echo "== the same tests, side by side"
python3 tests/wine/compare_runs.py "$out/native.txt" "$out/wine.txt" || status=1

echo "== module smoke test under Wine ($modules)"
(cd "$build/wine" && KV_MODULE_DIR=$(winpath "$modules") wine_run ./kv_wine_smoke.exe 2>&1) | tr -d '\r' \
  | tee "$out/smoke.txt" || status=1
grep -q '^\[  PASSED  \]' "$out/smoke.txt" && ! grep -q '^\[  FAILED  \]' "$out/smoke.txt" || status=1

echo "== Wine runs done in $((SECONDS - started)) s: $([ $status -eq 0 ] && echo passed || echo FAILED)"
exit $status
