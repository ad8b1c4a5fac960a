#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only what is
# missing; apt-get update runs only when something has to be installed).
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev sqlite3
  python3 cups-ppdc cups-client
  googletest wine64
)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
