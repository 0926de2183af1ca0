#!/usr/bin/env python3
"""Benchmark: a whole European Velmora run of frpatch_velmora on a dense image against the sum of
its parts.

    python3 bench/bench_velmora.py [--rounds N] [--program-dir build/bin] [--fixtures build/fixtures]

Each round, from a cold cache: the program on the dense European fixture image (rebuild, pre-patch,
translation), then its parts one after another as the run chains them: cp of the rebuilt image's
bytes (the fixture's, dense too), `xdelta3 -d` of the pre-patch delta on that copy, and `xdelta3 -d`
of the translation delta on the pre-patched image. The French image of the first program round must
be the fixture's, byte for byte. Needs 7 GiB free beside the fixtures.
"""

import sys

import harness

GOAL = 1.15


def benchmark(options):
    patcher = harness.program(options, "frpatch_velmora")
    xdelta3 = harness.decoder()
    fixture = harness.dense(options, "velmora")
    facts = fixture.facts
    with harness.Scratch(options, "velmora", 7 * harness.GiB) as scratch:
        scratch.place(fixture.path("european"), "run", "game.iso")
        for delta in ("prepatch", "translation"):
            scratch.place(fixture.path(delta), "run", facts[delta])
        french = scratch.path("run", "game_patched.iso")
        rebuilt, prepatched, translated = (scratch.path("parts", name) for name in ("rebuilt.iso", "pre.iso", "fr.iso"))
        scratch.place(fixture.path("prepatch"), "parts", facts["prepatch"])  # makes the folder
        right = []

        def whole():
            harness.remove(french)
            harness.cold_cache()
            run = harness.run([patcher], cwd=scratch.path("run"))
            if not right:
                right.append(harness.images.file_sha256(french) == facts["french_sha256"])
            return run

        def parts():
            harness.remove(rebuilt, prepatched, translated)
            harness.cold_cache()
            copy = harness.timed(["cp", "--reflink=never", "--sparse=never", fixture.path("rebuilt"), rebuilt])
            prepatch = harness.timed([xdelta3, "-d", "-f", "-s", rebuilt, fixture.path("prepatch"), prepatched])
            harness.remove(rebuilt)  # as the run removes its temporary image
            translation = harness.timed([xdelta3, "-d", "-f", "-s", prepatched, fixture.path("translation"), translated])
            harness.remove(prepatched, translated)
            return copy, prepatch, translation

        runs, pieces = harness.alternate(options.rounds, whole, parts)
    if not right[0]:
        print("FAILED: the French image is not the expected one; its time means nothing")
        return 1
    run_seconds = min(r.seconds for r in runs)
    best = [min(piece[i] for piece in pieces) for i in range(3)]
    total = min(sum(piece) for piece in pieces)
    harness.table("European Velmora run on a dense image, %s, best of %d alternating rounds"
                  % (harness.cache_note(), options.rounds), [
        ("frpatch_velmora, whole run", "%.2f s" % run_seconds, None),
        ("cp of the rebuilt bytes", "%.2f s" % best[0], None),
        ("xdelta3 -d, pre-patch", "%.2f s" % best[1], None),
        ("xdelta3 -d, translation", "%.2f s" % best[2], None),
        ("sum of the parts (best round)", "%.2f s" % total, None),
        ("run / sum", "%.3f" % (run_seconds / total), "<= %.2f" % GOAL),
        ("peak memory of frpatch_velmora", harness.mib(max(r.peak_kib or 0 for r in runs) or None), "< 100 MiB"),
        ("French image right to the byte", "yes", None),
    ])
    return 0


if __name__ == "__main__":
    sys.exit(harness.main(benchmark, rounds=2))
