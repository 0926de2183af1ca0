#!/usr/bin/env python3
"""Benchmark: a US Elvane run of frpatch_elvane on a dense image against a bare run of the decoder.

    python3 bench/bench_elvane.py [--rounds N] [--program-dir build/bin] [--fixtures build/fixtures]

Each round, from a cold cache: `xdelta3 -d` alone on the dense US fixture image and its delta, then
the whole program on the same two files (it finds them, starts the same decoder and follows its
output to the end). The French image of the first program round must be the fixture's, byte for
byte. Needs 6 GiB free beside the fixtures.
"""

import os
import sys

import harness

GOAL = 1.05


def benchmark(options):
    patcher = harness.program(options, "frpatch_elvane")
    xdelta3 = harness.decoder()
    fixture = harness.dense(options, "elvane-us")
    with harness.Scratch(options, "elvane-us", 6 * harness.GiB) as scratch:
        image = scratch.place(fixture.path("image"), "run", "game.iso")
        delta = scratch.place(fixture.path("delta"), "run", fixture.facts["delta"])
        # The bare output lies outside the program's folder, where its search would take it for an image.
        os.makedirs(scratch.path("bare"))
        bare_output, french = scratch.path("bare", "bare.iso"), scratch.path("run", "game_patched.iso")
        right = []

        def bare():
            harness.remove(bare_output)
            harness.cold_cache()
            return harness.run([xdelta3, "-d", "-f", "-s", image, delta, bare_output], answer=b"")

        def patcher_run():
            harness.remove(french)
            harness.cold_cache()
            run = harness.run([patcher], cwd=scratch.path("run"))
            if not right:
                right.append(harness.images.file_sha256(french) == fixture.facts["french_sha256"])
            return run

        bares, runs = harness.alternate(options.rounds, bare, patcher_run)
    if not right[0]:
        print("FAILED: the French image is not the expected one; its time means nothing")
        return 1
    bare_seconds, run_seconds = min(r.seconds for r in bares), min(r.seconds for r in runs)
    harness.table("US Elvane run on a dense image, %s, best of %d alternating rounds"
                  % (harness.cache_note(), options.rounds), [
        ("bare xdelta3 -d", "%.2f s" % bare_seconds, None),
        ("frpatch_elvane, whole run", "%.2f s" % run_seconds, None),
        ("run / bare decoder", "%.3f" % (run_seconds / bare_seconds), "<= %.2f" % GOAL),
        ("peak memory of frpatch_elvane", harness.mib(max(r.peak_kib or 0 for r in runs) or None), "< 100 MiB"),
        ("French image right to the byte", "yes", None),
    ])
    return 0


if __name__ == "__main__":
    sys.exit(harness.main(benchmark, rounds=3))
