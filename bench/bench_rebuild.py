#!/usr/bin/env python3
"""Benchmark: the European Elvane rebuild on a dense image against a cp of the same bytes.

    python3 bench/bench_rebuild.py [--rounds N] [--program-dir build/bin] [--fixtures build/fixtures]

Each round, from a cold cache: frpatch_elvane rebuilds the dense European fixture image (timed from
the line "Patchage du fichier ISO en cours :" to the start of the decoder, a stand-in that keeps the
temporary image and writes no output), then cp copies the fixture's expected temporary image (the
same 2599682048 bytes, dense too) on the same disk. Times are given when the last byte has been
handed to the system and when it is also on disk. The temporary image of the first round must equal
the expected one, byte for byte. Needs 6 GiB free beside the fixtures.
"""

import os
import shlex
import sys

import harness

PATCHING = b"Patchage du fichier ISO en cours :\n"
DECODER_STARTED = b"[decoder started]"
GOAL = 1.15


def rebuild_round(patcher, scratch, kept):
    harness.remove(kept, scratch.path("game_temp.iso"))
    harness.cold_cache()
    run = harness.run([patcher], cwd=scratch.folder, since=PATCHING, until=DECODER_STARTED)
    return run.seconds, run.seconds + harness.synced(kept), run.peak_kib


def cp_round(expected, copy):
    harness.remove(copy)
    harness.cold_cache()
    seconds = harness.timed(["cp", "--reflink=never", "--sparse=never", expected, copy])
    return seconds, seconds + harness.synced(copy)


def benchmark(options):
    patcher = harness.program(options, "frpatch_elvane")
    fixture = harness.dense(options, "elvane-eu")
    with harness.Scratch(options, "rebuild", 6 * harness.GiB) as scratch:
        scratch.place(fixture.path("image"), "game.iso")
        scratch.place(fixture.path("delta"), "patchs", fixture.facts["delta"])
        kept = scratch.path("kept.iso")
        stub = scratch.path("patchs", "xdelta3")
        with open(stub, "w") as script:
            script.write("#!/bin/sh\n# Keeps the temporary image (argument 3) and writes no output.\n"
                         "ln \"$3\" %s\nprintf '\\n%s\\n'\nexec sleep 600\n" % (shlex.quote(kept), DECODER_STARTED.decode()))
        os.chmod(stub, 0o755)
        copy = scratch.path("copy.iso")
        first = []

        def rebuild():
            result = rebuild_round(patcher, scratch, kept)
            if not first:
                first.append(harness.images.file_sha256(kept) == fixture.facts["temporary_sha256"])
            return result

        rebuilds, copies = harness.alternate(options.rounds, rebuild,
                                             lambda: cp_round(fixture.path("expected_temporary"), copy))
    if not first[0]:
        print("FAILED: the temporary image differs from the expected one; its time means nothing")
        return 1
    handed, on_disk = min(r[0] for r in rebuilds), min(r[1] for r in rebuilds)
    cp_handed, cp_on_disk = min(c[0] for c in copies), min(c[1] for c in copies)
    peak = max(r[2] or 0 for r in rebuilds) or None
    harness.table("European Elvane rebuild of a dense image, %s, best of %d alternating rounds"
                  % (harness.cache_note(), options.rounds), [
        ("rebuild, bytes handed to the system", "%.2f s" % handed, None),
        ("cp of the same bytes", "%.2f s" % cp_handed, None),
        ("rebuild / cp", "%.2f" % (handed / cp_handed), "<= %.2f" % GOAL),
        ("rebuild, bytes on disk", "%.2f s" % on_disk, None),
        ("cp, bytes on disk", "%.2f s" % cp_on_disk, None),
        ("rebuild / cp, on disk", "%.2f" % (on_disk / cp_on_disk), "<= %.2f" % GOAL),
        ("peak memory of frpatch_elvane", harness.mib(peak), "< 100 MiB"),
        ("temporary image equals the expected one", "yes", None),
    ])
    return 0


if __name__ == "__main__":
    sys.exit(harness.main(benchmark, rounds=3))
