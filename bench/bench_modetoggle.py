#!/usr/bin/env python3
"""Benchmark: modetoggle's wall time on a dense French Velmora image.

    python3 bench/bench_modetoggle.py [--rounds N] [--program-dir build/bin] [--fixtures build/fixtures]

Each round, from a cold cache: modetoggle flips a copy of the dense fixture image (480i to 480p, then
back), found below the start folder next to a decoy of the wrong size, as a player's folder would
hold it; then the physical least of a flip, one process that reads the first site's four bytes
(`dd`). Every flip must leave the four words of the mode it announced. Needs 3 GiB free.
"""

import os
import sys

import harness
from fixtures import images, modetoggle

SECTOR = images.SECTOR


def benchmark(options):
    program = harness.program(options, "modetoggle")
    fixture = harness.dense(options, "modetoggle-fr")
    with harness.Scratch(options, "modetoggle", 3 * harness.GiB) as scratch:
        # A copy, never a link: the program writes into the image.
        image = scratch.path("jeux", "velmora_fr.iso")
        os.makedirs(os.path.dirname(image))
        images.copy_sparse(fixture.path("image"), image)
        images.make_sparse(scratch.path("other.iso"), modetoggle.IMAGE_SIZE - SECTOR, {})
        modes = ["480i"]
        flips_right = []

        def flip():
            harness.cold_cache()
            run = harness.run([program], cwd=scratch.folder)
            modes.append("480p" if modes[-1] == "480i" else "480i")
            flips_right.append(all(images.read_bytes(image, offset, 4) == word
                                   for offset, word in modetoggle.words(modes[-1]).items()))
            return run

        def least():
            harness.cold_cache()
            site = modetoggle.SITES[0][0]
            return harness.timed(["dd", "if=" + image, "of=/dev/null", "bs=4", "count=1", "iflag=skip_bytes",
                                  "skip=%d" % site, "status=none"])

        flips, baselines = harness.alternate(options.rounds, flip, least)
    if not all(flips_right):
        print("FAILED: a flip did not leave the words of its mode")
        return 1
    best, baseline = min(r.seconds for r in flips), min(baselines)
    harness.table("modetoggle on a dense %d-byte image, %s, best of %d alternating rounds"
                  % (modetoggle.IMAGE_SIZE, harness.cache_note(), options.rounds), [
        ("modetoggle, one flip", "%.1f ms" % (1000 * best), None),
        ("dd of the first site's four bytes", "%.1f ms" % (1000 * baseline), None),
        ("flip / dd", "%.2f" % (best / baseline), "none set"),
        ("peak memory of modetoggle", harness.mib(max(r.peak_kib or 0 for r in flips) or None), "< 100 MiB"),
        ("every flip left its mode's four words", "yes", None),
    ])
    return 0


if __name__ == "__main__":
    sys.exit(harness.main(benchmark, rounds=10))
