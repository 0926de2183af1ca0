#!/usr/bin/env bash
# The main job shown on images made here: a full-size US Elvane image patched into French.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target frpatch_elvane

scratch=build/demo
needed=$((3 * 1024 * 1024 * 1024))
free=$(df --output=avail -B1 build | tail -n 1)
if [ "$free" -lt "$needed" ]; then
  echo "SKIPPED: the demonstration writes a 2.6 GB image and needs 3 GiB free in build/"
  exit 0
fi
rm -rf "$scratch" && mkdir -p "$scratch/games/Elvane (US)" "$scratch/patch"
fixture=$(PYTHONPATH=tests python3 -m fixtures.registry elvane-us build/fixtures)
echo "A US Elvane image and its French delta, made in $fixture"
cp --sparse=always "$fixture/us.iso" "$scratch/games/Elvane (US)/Elvane.iso"
cp "$fixture/EV1_Patch_US-FR_1.xdelta" "$scratch/patch/"
echo "Running frpatch_elvane in $scratch, as a player would:"
echo "----------------------------------------------------------------"
(cd "$scratch" && echo | "$OLDPWD/build/bin/frpatch_elvane" | tr '\r' '\n' | uniq)
echo
echo "----------------------------------------------------------------"
ls -l "$scratch/games/Elvane (US)"
expected=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['french_sha256'])" "$fixture/fixture.json")
actual=$(sha256sum "$scratch/games/Elvane (US)/Elvane_patched.iso" | cut -d' ' -f1)
if [ "$expected" = "$actual" ]; then
  echo "The French image is byte for byte what the decoder alone makes (sha256 $actual)."
else
  echo "The French image differs from the decoder's own!" && exit 1
fi
rm -rf "$scratch"
