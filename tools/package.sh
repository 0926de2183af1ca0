#!/usr/bin/env bash
# Makes a release: builds the programs for Windows and Linux in their release configuration and
# writes dist/frpatch-VERSION-windows-x64.zip and dist/frpatch-VERSION-linux-x86_64.tar.gz.
#
#   bash tools/package.sh [--with-delta DIR] [--contact TEXT] [--dist DIR]
#
# --with-delta DIR  also puts the team's .xdelta files of DIR beside the programs, with the
#                   decoder found there (xdelta.exe in the zip, xdelta3 in the Linux archive)
# --contact TEXT    how players reach the team (an address, a forum thread), written into the
#                   guide; without it the guide sends them to where they got the patch
# --dist DIR        where the archives go (default: dist)
# The version is the CMake project's; entries are dated by the last commit (or SOURCE_DATE_EPOCH).
set -euo pipefail

usage() {
  sed -n '5,11s/^# \{0,1\}//p' "$0" >&2
  exit 2
}

# Folders given on the command line are the caller's, resolved before moving to the source root.
root=$(cd "$(dirname "$0")/.." && pwd)
delta=""
contact=""
dist=$root/dist
while [ $# -gt 0 ]; do
  case $1 in
    --with-delta) [ $# -ge 2 ] || usage; delta=$(realpath -m "$2"); shift 2 ;;
    --contact) [ $# -ge 2 ] && [ -n "$2" ] || usage; contact=$2; shift 2 ;;
    --dist) [ $# -ge 2 ] || usage; dist=$(realpath -m "$2"); shift 2 ;;
    *) usage ;;
  esac
done
if [ -n "$delta" ] && [ ! -d "$delta" ]; then
  echo "package.sh: $delta is not a folder" >&2
  exit 2
fi
cd "$root"

bash tools/setup.sh
if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
  echo "note: the working tree has changes that are not committed; they go into the programs"
fi

programs=(frpatch_elvane frpatch_velmora modetoggle)
jobs=2
# The players' programs are stripped by the linker: a later strip would date a Windows program anew.
release=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_EXE_LINKER_FLAGS=-s)
echo "== Linux release build"
cmake -S . -B build-release "${release[@]}" >/dev/null
cmake --build build-release -j "$jobs" --target "${programs[@]}"
echo "== Windows release build (mingw-w64, static)"
cmake -S . -B build-release-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${release[@]}" >/dev/null
cmake --build build-release-win -j "$jobs" --target "${programs[@]}"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-release/CMakeCache.txt)
[ -n "$version" ] || { echo "package.sh: no project version in build-release/CMakeCache.txt" >&2; exit 1; }
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}

echo "== Archives of version $version"
python3 tools/make_release.py --version "$version" --windows-programs build-release-win/bin \
  --linux-programs build-release/bin --dist "$dist" --epoch "$epoch" ${delta:+--with-delta "$delta"} \
  ${contact:+--contact "$contact"}

# Stand-in tables say so on their first line; the tables frlayout writes from the discs do not.
for game in elvane velmora; do
  names=$(python3 cmake/embed_game.py --get tables.names "patchers/$game/${game}_game.txt")
  if head -n 1 "patchers/$game/data/$names" | grep -qi 'stand-in'; then
    echo "WARNING: patchers/$game/data holds stand-in layout tables (see its README): these programs do not" \
         "rebuild a European image of $game right. Put the real tables in before shipping."
  fi
done
