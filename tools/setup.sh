#!/usr/bin/env bash
# Installs on a fresh Debian machine everything the builds, tests and demonstration need.
set -euo pipefail

packages=(cmake g++ make python3 googletest libgtest-dev xdelta3 clang
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64
          libcdio-dev libiso9660-dev libudf-dev pkg-config zlib1g-dev xorriso genisoimage)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
