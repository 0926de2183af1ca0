#!/bin/sh
# Builds the library's differential fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for SECONDS; fails on any crash.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 SECONDS" >&2
    exit 2
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-fuzz"
compiler=${CXX_FUZZ:-clang++}
flags="-std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all -I$root"

mkdir -p "$out/obj"
objects=""
for unit in buffer string numbers path; do
    "$compiler" $flags -fsanitize=fuzzer-no-link -c "$root/kestrin/$unit.cpp" -o "$out/obj/$unit.o"
    objects="$objects $out/obj/$unit.o"
done

status=0
for target in buffer string numbers path; do
    "$compiler" $flags -fsanitize=fuzzer "$root/fuzz/${target}_fuzz.cpp" $objects -o "$out/${target}_fuzz"
    corpus="$out/corpus/$target"
    mkdir -p "$corpus"
    echo "== ${target}_fuzz for ${seconds} s"
    if ! "$out/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$out/${target}-" "$corpus" >"$out/${target}.log" 2>&1; then
        echo "${target}_fuzz FAILED; see $out/${target}.log" >&2
        tail -n 40 "$out/${target}.log" >&2
        status=1
        continue
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$out/${target}.log" || true
done
exit $status
