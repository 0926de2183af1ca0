#!/usr/bin/env python3
"""Benchmark: modetoggle's wall time on a full-size sparse French Velmora image.

Each round flips the image once (480i to 480p, then back, and so on), with the image found below
the start folder next to a decoy of the wrong size, as a player's folder would hold it. Prints the
time of every round, the best and the median, and checks that the words flip as they should.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "scenarios"))

import discimage  # noqa: E402
import fixtures  # noqa: E402
import modetoggle_scenarios as mt  # noqa: E402  (registers the French image fixture)

ROUNDS = 10


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default="build/bin/modetoggle")
    parser.add_argument("--work", default="build/bench-modetoggle")
    parser.add_argument("--rounds", type=int, default=ROUNDS)
    options = parser.parse_args()
    program = os.path.abspath(options.program)
    fixture = fixtures.get(mt.FIXTURE, os.path.abspath("build/fixtures"))
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    if discimage.free_bytes(work) < 3 * 2 ** 30:
        print("SKIPPED: needs 3 GiB free in %s" % work)
        return 0
    times = []
    flips_right = True
    try:
        image = os.path.join(work, "jeux", "velmora_fr.iso")
        os.makedirs(os.path.dirname(image))
        discimage.copy_sparse(os.path.join(fixture, "fr.iso"), image)
        discimage.make_sparse(os.path.join(work, "other.iso"), mt.IMAGE_SIZE - 2048, {})
        mode = "480i"
        for _ in range(options.rounds):
            started = time.monotonic()
            subprocess.run([program], cwd=work, input=b"\n", stdout=subprocess.DEVNULL, check=True)
            times.append(time.monotonic() - started)
            mode = "480p" if mode == "480i" else "480i"
            flips_right = flips_right and mt.site_bytes(image) == mt.words(mode)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("modetoggle on a %d-byte image, %d runs" % (mt.IMAGE_SIZE, len(times)))
    print("each run (ms):  %s" % " ".join("%.1f" % (1000 * t) for t in times))
    print("best:           %6.1f ms" % (1000 * min(times)))
    print("median:         %6.1f ms" % (1000 * statistics.median(times)))
    print("every run flipped the four words: %s" % ("yes" if flips_right else "NO"))
    return 0 if flips_right else 1


if __name__ == "__main__":
    sys.exit(main())
