#!/usr/bin/env bash
# Installs on a fresh Debian machine everything the builds, tests and demonstration need.
set -euo pipefail

packages=(cmake g++ make python3 googletest libgtest-dev xdelta3 clang
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 locales
          libcdio-dev libiso9660-dev libudf-dev pkg-config zlib1g-dev xorriso genisoimage)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The wine scenarios of a French Windows take its code pages (ANSI 1252, OEM 850) from this locale.
if ! locale -a 2>/dev/null | grep -qix 'fr_FR.utf8'; then
  $sudo localedef -i fr_FR -f UTF-8 fr_FR.UTF-8
fi
