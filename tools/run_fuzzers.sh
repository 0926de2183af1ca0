#!/bin/sh
# Builds the library's differential fuzz targets and frlayout's disc listing target with clang
# (libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for
# SECONDS; fails on any crash.
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

# frlayout's disc listing, with libcdio's readers behind it (not instrumented: a crash there is
# still a crash).
listing_objects=""
for unit in frlayout/contained_run frlayout/disc_files frlayout/image_file frlayout/iso_tree \
    frlayout/library_listing frlayout/listing_checks frlayout/tree_reading frlayout/udf_tree \
    patchers/common/layout_facts; do
    object="$out/obj/$(echo "$unit" | tr / _).o"
    "$compiler" $flags -fsanitize=fuzzer-no-link $(pkg-config --cflags libcdio libiso9660 libudf) -c "$root/$unit.cpp" -o "$object"
    listing_objects="$listing_objects $object"
done
cdio_libraries=$(pkg-config --libs libcdio libiso9660 libudf)

# Its seeds: small images that genisoimage and xorriso write, in the fuzz target's short form
# (the length in sectors, then each sector that is not all zeros with its number).
seeds="$out/seeds/disc_listing"
if [ ! -d "$seeds" ]; then
    work=$(mktemp -d)
    mkdir -p "$work/tree/a/b/c" "$work/tree/Res/Map"
    printf 'deep' >"$work/tree/a/b/c/deep.bin"
    printf 'map' >"$work/tree/Res/Map/m012.map.lzr"
    printf 'colon' >"$work/tree/colon:name.bin"
    : >"$work/tree/empty.txt"
    head -c 5000 /dev/zero | tr '\0' 'x' >"$work/tree/a/two.bin"
    mkdir -p "$seeds.new"
    genisoimage -quiet -udf -R -J -o "$work/bridge.iso" "$work/tree"
    genisoimage -quiet -o "$work/plain.iso" "$work/tree"
    xorriso -as mkisofs -quiet -R -J -o "$work/rockridge.iso" "$work/tree" 2>/dev/null
    xorriso -as mkisofs -quiet --norock -J -o "$work/joliet.iso" "$work/tree" 2>/dev/null
    for image in bridge plain rockridge joliet; do
        python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read()
out = bytearray(struct.pack("<I", len(data) // 2048 - 1))
for number in range(len(data) // 2048):
    sector = data[number * 2048:(number + 1) * 2048]
    if any(sector):
        out += struct.pack("<H", number) + sector
open(sys.argv[2], "wb").write(out)' "$work/$image.iso" "$seeds.new/$image"
    done
    rm -rf "$work"
    mv "$seeds.new" "$seeds"
fi

status=0
for target in buffer string numbers path disc_listing; do
    target_objects=$objects
    options="-max_len=4096"
    inputs=""
    if [ "$target" = disc_listing ]; then
        target_objects="$listing_objects $cdio_libraries"
        options="-max_len=1048576 -timeout=10"
        inputs=$seeds
        # libiso9660 keeps a byte now and then on a damaged volume; frlayout's child process ends
        # right after, so only leaks of frlayout's own code count.
        printf 'leak:libiso9660.so\nleak:libudf.so\nleak:libcdio.so\n' >"$out/cdio_leaks.supp"
        export LSAN_OPTIONS="suppressions=$out/cdio_leaks.supp"
    fi
    "$compiler" $flags -fsanitize=fuzzer "$root/fuzz/${target}_fuzz.cpp" $target_objects -o "$out/${target}_fuzz"
    corpus="$out/corpus/$target"
    mkdir -p "$corpus"
    echo "== ${target}_fuzz for ${seconds} s"
    if ! "$out/${target}_fuzz" -max_total_time="$seconds" $options -print_final_stats=1 \
        -artifact_prefix="$out/${target}-" "$corpus" $inputs >"$out/${target}.log" 2>&1; then
        echo "${target}_fuzz FAILED; see $out/${target}.log" >&2
        tail -n 40 "$out/${target}.log" >&2
        status=1
        continue
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$out/${target}.log" || true
done
exit $status
