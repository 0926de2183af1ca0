#!/usr/bin/env python3
"""Benchmark: frpatch_elvane on a full-size US image against a bare run of the decoder.

Prints, from one run of the benchmark (alternating rounds, best of each) on the same disk: the program's wall time over that of
`xdelta3 -d` alone on the same delta, and the CPU time the program itself spent while the
decoder ran (its search and its polling of the output).
"""

import argparse
import os
import resource
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import discimage  # noqa: E402
import fixtures  # noqa: E402


ROUNDS = 3


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default="build/bin/frpatch_elvane")
    parser.add_argument("--work", default="build/bench")
    options = parser.parse_args()
    program = os.path.abspath(options.program)
    fixture = fixtures.get("elvane-us", os.path.abspath("build/fixtures"))
    facts = fixtures.facts(fixture)
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    if discimage.free_bytes(work) < 6 * 2 ** 30:
        print("SKIPPED: needs 6 GiB free in %s" % work)
        return 0
    try:
        image = os.path.join(work, "game.iso")
        delta = os.path.join(work, facts["delta"])
        discimage.copy_sparse(os.path.join(fixture, facts["image"]), image)
        shutil.copy(os.path.join(fixture, facts["delta"]), delta)

        bare_times, program_times, cpu_times = [], [], []
        check = True
        for _ in range(ROUNDS):
            # Each run starts with no dirty pages of the one before, so neither pays for the other's writes.
            os.sync()
            started = time.monotonic()
            subprocess.run([discimage.xdelta3(), "-d", "-f", "-s", image, delta, os.path.join(work, "bare.iso")],
                           check=True)
            bare_times.append(time.monotonic() - started)
            os.remove(os.path.join(work, "bare.iso"))
            os.sync()

            cpu_before = children_cpu()
            started = time.monotonic()
            subprocess.run([program], cwd=work, input=b"\n", stdout=subprocess.DEVNULL, check=True)
            program_times.append(time.monotonic() - started)
            cpu_times.append(children_cpu() - cpu_before)
            # The program ends when the output is complete; the decoder may still be closing it.
            patched = os.path.join(work, "game_patched.iso")
            check = check and discimage.file_sha256(patched) == facts["french_sha256"]
            os.remove(patched)
        bare, wall, cpu = min(bare_times), min(program_times), min(cpu_times)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("best of %d alternating runs, each after a sync" % ROUNDS)
    print("bare xdelta3 -d:              %6.2f s" % bare)
    print("frpatch_elvane (US image):    %6.2f s" % wall)
    print("wall time ratio program/bare: %6.3f" % (wall / bare))
    print("program's own CPU time:       %6.3f s (%.2f %% of its wall time)" % (cpu, 100 * cpu / wall))
    print("French image right to the byte: %s" % ("yes" if check else "NO"))
    return 0 if check else 1


if __name__ == "__main__":
    sys.exit(main())
