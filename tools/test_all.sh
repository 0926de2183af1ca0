#!/usr/bin/env bash
# Builds every configuration and runs every test: unit tests, sanitizers, fuzzers, full-size scenarios.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=2
echo "== Linux build, unit tests and full-size scenarios"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

echo "== Windows build (mingw-w64, static)"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j "$jobs"

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DFRTOOLS_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure -LE scenario -j "$jobs")

if [ -x tools/run_fuzzers.sh ] || [ -f tools/run_fuzzers.sh ]; then
  echo "== Fuzzers, a short fixed-time run each"
  bash tools/run_fuzzers.sh 20
fi

echo "== Every test of the Linux build, scenarios included"
(cd build && ctest --output-on-failure)
