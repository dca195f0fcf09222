#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the demo need.
# Safe to run again: only what is missing is installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  g++ clang lld libclang-rt-14-dev
  libfmt-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcurl4-openssl-dev zlib1g-dev
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6
  binutils srecord
  xvfb xauth
  python3-pyftpdlib
  fonts-liberation
  help2man desktop-file-utils appstream dpkg-dev file bash-completion man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
