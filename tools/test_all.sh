#!/usr/bin/env bash
# Builds every configuration and runs every test: unit tests, sanitizers, fuzzers, full-size scenarios.
#
#   bash tools/test_all.sh           the full run (the README's test command, CI)
#   bash tools/test_all.sh --quick   the same builds, unit tests and sanitizers, a few seconds of
#                                    fuzzing, and of the full-size scenarios only the main job,
#                                    natively and under wine (ctest -LE full)
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
case "${1:-}" in
  "") ;;
  --quick) quick=1 ;;
  *) echo "usage: bash tools/test_all.sh [--quick]" >&2; exit 2 ;;
esac
bash tools/setup.sh

jobs=2
echo "== Linux build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

echo "== Windows build (mingw-w64, static)"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j "$jobs"

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DFRTOOLS_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure -LE "scenario|windows" -j "$jobs")

echo "== Fuzzers, a short fixed-time run each"
bash tools/run_fuzzers.sh "$([ "$quick" -eq 1 ] && echo 3 || echo 20)"

if [ "$quick" -eq 1 ]; then
  echo "== Unit tests, the Windows programs' checks, and the main job natively and under wine"
  (cd build && ctest --output-on-failure -LE full -j "$jobs")
else
  echo "== Every test: unit tests, full-size scenarios, the Windows programs' checks and their scenarios under wine"
  (cd build && ctest --output-on-failure)
fi
