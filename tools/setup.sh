#!/usr/bin/env bash
# Installs on a fresh Debian machine everything the builds, tests and demonstration need.
set -euo pipefail

packages=(cmake g++ make python3 googletest libgtest-dev xdelta3 clang
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 locales
          libcdio-dev libiso9660-dev libudf-dev pkg-config zlib1g-dev libz-mingw-w64-dev xorriso genisoimage
          dpkg-dev)
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

# The wine scenarios run the decoder as a player's Windows would: Debian's xdelta3 source package,
# cross-built into xdelta.exe beside the fixtures (once per recipe). Without it (no network, a
# failed build) those scenarios say SKIPPED with the reason; the rest of the run goes on.
root="$(cd "$(dirname "$0")/.." && pwd)"
python3 "$root/tests/windows/windows_decoder.py" "$root/build/fixtures" ||
  echo "setup: no Windows decoder; the wine scenarios will be SKIPPED" >&2
