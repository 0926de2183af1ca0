#!/bin/sh
# Runs the *Unprivileged* cases of a test program under an unprivileged account (permissions lock
# nothing for root), from a copy in a temporary folder that account can reach wherever the build is.
set -eu
program=$1
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: already unprivileged; the normal run covers these cases"
  exit 77
fi
if ! command -v setpriv >/dev/null 2>&1; then
  echo "SKIPPED: setpriv is not installed"
  exit 77
fi
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$program" "$folder/"
chmod 755 "$folder" "$folder/$(basename "$program")"
cd "$folder"
setpriv --reuid=65534 --regid=65534 --clear-groups "./$(basename "$program")" --gtest_filter='*Unprivileged*'
