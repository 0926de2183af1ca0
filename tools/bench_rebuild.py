#!/usr/bin/env python3
"""Benchmark (not a test): the European Elvane rebuild against a plain `cp` of as many bytes.

    bench_rebuild.py [--program-dir build/bin] [--fixtures build/fixtures] [--scratch build/bench]

One run of frpatch_elvane on the synthetic European image: the rebuild's wall time (from the line
"Patchage du fichier ISO en cours :" to the start of the decoder, a stand-in that keeps the
temporary image and writes no output), then `cp` of that temporary image to the same disk, and the
patcher's peak resident memory. Each time is given twice: when the last byte has been handed to
the system (much of it may still sit in the page cache), and when it has also reached the disk
(`sync` of the file). The cache is flushed before each measurement.
"""

import argparse
import os
import shlex
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import discimage  # noqa: E402
import fixtures  # noqa: E402

US_SIZE = 2599682048
NEEDED = 6 * 2 ** 30  # the temporary image and its copy
PATCHING = b"Patchage du fichier ISO en cours :\n"
DECODER_STARTED = b"[decoder started]"
FLUSHED = b"[temporary image on disk]"


def install_stub_decoder(folder, kept):
    path = os.path.join(folder, "xdelta3")
    with open(path, "w") as stub:
        stub.write("#!/bin/sh\n# Keeps the temporary image (argument 3), flushes it, and makes no output.\n"
                   "ln \"$3\" %s\nprintf '\\n%s\\n'\nsync %s\nprintf '%s\\n'\n"
                   % (shlex.quote(kept), DECODER_STARTED.decode(), shlex.quote(kept), FLUSHED.decode()))
    os.chmod(path, 0o755)


def timed_run(program, folder):
    """Seconds from the start of the rebuild to the start of the decoder and to the temporary image
    being on disk, and the patcher's peak memory in KiB."""
    process = subprocess.Popen([program], cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    process.stdin.write(b"\n")
    process.stdin.close()
    seen, times = b"", {}
    while True:
        block = os.read(process.stdout.fileno(), 65536)
        if not block:
            break
        seen += block
        for mark in (PATCHING, DECODER_STARTED, FLUSHED):
            if mark not in times and mark in seen:
                times[mark] = time.monotonic()
                if mark == DECODER_STARTED:
                    peak = high_water_mark(process.pid)
    process.wait()
    if len(times) != 3:
        raise SystemExit("the rebuild did not run to its end:\n%s" % seen.decode(errors="replace"))
    return times[DECODER_STARTED] - times[PATCHING], times[FLUSHED] - times[PATCHING], peak


def high_water_mark(pid):
    """Peak resident memory (KiB) of the running program since it started. Read while it still
    waits for the decoder's output, after the rebuild; ru_maxrss would also count the memory that
    this Python process had when it forked the program."""
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise SystemExit("no VmHWM for process %d" % pid)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program-dir", default="build/bin")
    parser.add_argument("--fixtures", default="build/fixtures")
    parser.add_argument("--scratch", default="build/bench")
    options = parser.parse_args()

    os.makedirs(options.scratch, exist_ok=True)
    free = discimage.free_bytes(options.scratch)
    if free < NEEDED:
        print("SKIPPED: needs %.1f GiB free in %s, has %.1f GiB" % (NEEDED / 2 ** 30, options.scratch, free / 2 ** 30))
        return 77
    fixture = fixtures.get("elvane-eu", os.path.abspath(options.fixtures))
    facts = fixtures.facts(fixture)
    folder = os.path.abspath(os.path.join(options.scratch, "rebuild"))
    shutil.rmtree(folder, ignore_errors=True)
    try:
        os.makedirs(os.path.join(folder, "patchs"))
        discimage.copy_sparse(os.path.join(fixture, facts["image"]), os.path.join(folder, "game.iso"))
        shutil.copy(os.path.join(fixture, facts["delta"]), os.path.join(folder, "patchs"))
        kept = os.path.join(folder, "temporary.iso")
        install_stub_decoder(os.path.join(folder, "patchs"), kept)

        subprocess.run(["sync"], check=True)
        rebuild_seconds, rebuild_flushed, peak_kib = timed_run(os.path.abspath(os.path.join(options.program_dir, "frpatch_elvane")),
                                              folder)
        size = os.path.getsize(kept)
        if size != US_SIZE:
            raise SystemExit("the temporary image is %d bytes, not %d" % (size, US_SIZE))

        subprocess.run(["sync"], check=True)
        started = time.monotonic()
        copy = os.path.join(folder, "copy.iso")
        subprocess.run(["cp", "--reflink=never", "--sparse=never", kept, copy], check=True)
        copy_seconds = time.monotonic() - started
        subprocess.run(["sync", copy], check=True)
        copy_flushed = time.monotonic() - started
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    print("%d bytes written        handed to the system   on disk" % US_SIZE)
    print("rebuild (frpatch_elvane)      %8.2f s            %8.2f s" % (rebuild_seconds, rebuild_flushed))
    print("cp on the same disk           %8.2f s            %8.2f s" % (copy_seconds, copy_flushed))
    print("rebuild time / cp time        %8.2f              %8.2f"
          % (rebuild_seconds / copy_seconds, rebuild_flushed / copy_flushed))
    print("peak resident memory of frpatch_elvane: %.1f MiB" % (peak_kib / 1024))
    return 0


if __name__ == "__main__":
    sys.exit(main())
