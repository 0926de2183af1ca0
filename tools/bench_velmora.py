#!/usr/bin/env python3
"""Benchmark (not a test): a European frpatch_velmora run against the work it cannot avoid.

bench_velmora.py [--program-dir build/bin] [--fixtures build/fixtures] [--scratch build/bench]

Measures, in one run and on the same disk: the program's wall time on the full-size European
fixture image, then a cp of the rebuilt image's bytes and the two bare `xdelta3 -d` runs of its
pre-patch and translation stages, and prints the first over the sum of the other three. Each piece
starts after a sync, so that none pays for the writes of the one before. Needs 6 GiB free.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import discimage  # noqa: E402
import fixtures  # noqa: E402
import velmora_fixture  # noqa: E402

GiB = 2 ** 30
NEEDED = 6 * GiB  # two 2.8 GB images at a time, in the run and in the bare stages


def timed(command, **options):
    subprocess.run(["sync"], check=True)
    started = time.monotonic()
    subprocess.run(command, check=True, **options)
    return time.monotonic() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program-dir", default="build/bin")
    parser.add_argument("--fixtures", default="build/fixtures")
    parser.add_argument("--scratch", default="build/bench")
    options = parser.parse_args()

    program = os.path.abspath(os.path.join(options.program_dir, "frpatch_velmora"))
    fixture = velmora_fixture.get(os.path.abspath(options.fixtures))
    facts = fixtures.facts(fixture)
    rebuilt_bytes = os.path.getsize(os.path.join(fixture, facts["rebuilt"]))
    scratch = os.path.abspath(options.scratch)
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    free = discimage.free_bytes(scratch)
    if free < NEEDED:
        print("SKIPPED: needs %.1f GiB free in %s, has %.1f GiB" % (NEEDED / GiB, scratch, free / GiB))
        return 77
    try:
        run = os.path.join(scratch, "run")
        os.makedirs(run)
        discimage.copy_sparse(os.path.join(fixture, facts["european"]), os.path.join(run, "game.iso"))
        for delta in (facts["prepatch"], facts["translation"]):
            shutil.copy(os.path.join(fixture, delta), run)
        program_time = timed([program], cwd=run, input=b"\n", stdout=subprocess.DEVNULL)
        french = os.path.join(run, "game_patched.iso")
        if not os.path.exists(french) or discimage.file_sha256(french) != facts["french_sha256"]:
            print("FAILED: the run did not make the right French image; its time means nothing")
            return 1
        shutil.rmtree(run)

        bare = os.path.join(scratch, "bare")
        os.makedirs(bare)
        rebuilt, prepatched, translated = (os.path.join(bare, name) for name in ("rebuilt.iso", "pre.iso", "fr.iso"))
        copy_time = timed(["cp", "--sparse=never", os.path.join(fixture, facts["rebuilt"]), rebuilt])
        prepatch_time = timed([discimage.xdelta3(), "-d", "-f", "-s", rebuilt, os.path.join(fixture, facts["prepatch"]),
                               prepatched])
        os.remove(rebuilt)
        translation_time = timed([discimage.xdelta3(), "-d", "-f", "-s", prepatched,
                                  os.path.join(fixture, facts["translation"]), translated])
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    bare_time = copy_time + prepatch_time + translation_time
    rows = [("European run of frpatch_velmora (rebuild, pre-patch, translation)", program_time),
            ("  cp of the %d rebuilt bytes" % rebuilt_bytes, copy_time),
            ("  xdelta3 -d, pre-patch stage", prepatch_time),
            ("  xdelta3 -d, translation stage", translation_time),
            ("  sum of the three", bare_time)]
    for label, seconds in rows:
        print("%-68s %6.1f s" % (label, seconds))
    print("run / sum: %.2f" % (program_time / bare_time))
    return 0


if __name__ == "__main__":
    sys.exit(main())
