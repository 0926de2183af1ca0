"""What every benchmark shares: the dense fixtures, a scratch folder with a free-disk check, a cold
page cache, timed runs with their peak memory, best of alternating rounds, and one way to say that
a benchmark cannot run (SKIPPED with the reason, exit code 77).

A benchmark prints figures, each beside the physical baseline measured in the same run and the
goal it is held to; it never passes or fails on time. It fails (exit code 1) only when the program
did not make the right bytes, since a time of a wrong run means nothing.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))

from fixtures import images, registry  # noqa: E402

SKIPPED = 77
GiB = 2 ** 30
MiB = 2 ** 20


class Skip(Exception):
    """The benchmark cannot run here; the message says why."""


def main(benchmark, rounds):
    """Runs benchmark(options) with the options every benchmark takes; returns the exit code."""
    parser = argparse.ArgumentParser(description=sys.modules["__main__"].__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program-dir", default=os.path.join(ROOT, "build", "bin"))
    parser.add_argument("--fixtures", default=os.path.join(ROOT, "build", "fixtures"))
    parser.add_argument("--scratch", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--rounds", type=int, default=rounds, help="alternating rounds; the best of each is shown")
    options = parser.parse_args()
    options.program_dir, options.fixtures, options.scratch = (
        os.path.abspath(path) for path in (options.program_dir, options.fixtures, options.scratch))
    try:
        return benchmark(options)
    except Skip as reason:
        print("SKIPPED: %s" % reason)
        return SKIPPED


def program(options, name):
    path = os.path.join(options.program_dir, name)
    if not os.access(path, os.X_OK):
        raise Skip("%s is not built (looked in %s)" % (name, options.program_dir))
    return path


def decoder():
    try:
        return images.xdelta3()
    except FileNotFoundError as missing:
        raise Skip(str(missing))


def dense(options, name):
    """The dense fixture `name`, made first if needed."""
    try:
        return registry.dense_fixture(name, options.fixtures)
    except registry.NoRoom as reason:
        raise Skip(str(reason))


class Scratch:
    """A fresh folder below the scratch root with at least `needed` bytes free, gone afterwards."""

    def __init__(self, options, name, needed):
        self.folder = os.path.join(options.scratch, name)
        self.needed = needed

    def __enter__(self):
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        free = images.free_bytes(self.folder)
        if free < self.needed:
            shutil.rmtree(self.folder, ignore_errors=True)
            raise Skip("needs %.1f GiB free in %s, has %.1f GiB" % (self.needed / GiB, self.folder, free / GiB))
        return self

    def __exit__(self, *failure):
        shutil.rmtree(self.folder, ignore_errors=True)

    def path(self, *names):
        return os.path.join(self.folder, *names)

    def place(self, source, *names):
        """`source` at path(*names): a second link to the fixture's file (never written there), or a
        copy where the scratch folder lies on another file system."""
        target = self.path(*names)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        try:
            os.link(source, target)
        except OSError:
            images.copy_sparse(source, target)
        return target


def remove(*paths):
    for path in paths:
        if os.path.exists(path):
            os.remove(path)


_cold = None


def cold_cache():
    """Writes back what is dirty and, where this account may, empties the page cache, so that the
    next read comes from the disk as a player's first read does. True when the cache was emptied."""
    global _cold
    subprocess.run(["sync"], check=True)
    try:
        with open("/proc/sys/vm/drop_caches", "w") as caches:
            caches.write("3\n")
        _cold = True
    except OSError:
        _cold = False
    return _cold


def cache_note():
    """How the reads of this run started, for the heading of a report."""
    return "cold cache" if _cold else "warm cache (the page cache could not be emptied: run as root for cold reads)"


def _peak_kib(pid):
    """VmHWM of a running process, the peak of its own resident memory; None once it is gone."""
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


class Run:
    """A program's wall time, its peak resident memory (KiB, None if never seen) and its output."""

    def __init__(self, seconds, peak_kib, output):
        self.seconds, self.peak_kib, self.output = seconds, peak_kib, output


def run(command, cwd=None, answer=b"\n", since=None, until=None):
    """Runs `command` to its end, or, with `until`, until that text appears in its output (then
    ends the program and whatever it started); timed from its start, or from the moment the text
    `since` appears in its output. The peak memory is the program's own (VmHWM,
    watched while it runs), not that of this process, which a count taken at exit would include."""
    started = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               start_new_session=True)
    peak = [None]
    done = threading.Event()

    def watch():
        while not done.is_set():
            seen = _peak_kib(process.pid)
            if seen is not None:
                peak[0] = max(peak[0] or 0, seen)
            done.wait(0.005)

    watcher = threading.Thread(target=watch)
    watcher.start()
    try:
        process.stdin.write(answer)
        process.stdin.close()
    except BrokenPipeError:
        pass
    output, ended = b"", None
    while True:
        block = os.read(process.stdout.fileno(), 65536)
        if not block:
            break
        output += block
        if since and since in output and since not in output[:len(output) - len(block)]:
            started = time.monotonic()
        if until and until in output:
            ended = time.monotonic()
            seen = _peak_kib(process.pid)
            if seen is not None:
                peak[0] = max(peak[0] or 0, seen)
            os.killpg(process.pid, signal.SIGKILL)
            break
    process.wait()
    ended = ended or time.monotonic()
    done.set()
    watcher.join()
    process.stdout.close()
    if (until and until not in output) or (since and since not in output):
        raise RuntimeError("%s ended early:\n%s" % (command[0], output.decode(errors="replace")))
    if not until and process.returncode != 0:
        raise RuntimeError("%s failed with %d" % (" ".join(command), process.returncode))
    return Run(ended - started, peak[0], output)


def timed(command, **options):
    return run(command, answer=b"", **options).seconds


def synced(path):
    """Seconds that writing `path` back to the disk takes."""
    started = time.monotonic()
    subprocess.run(["sync", path], check=True)
    return time.monotonic() - started


def alternate(rounds, *measures):
    """Runs each measure in turn, round after round, so that a slow spell of the machine falls on
    all of them; returns each measure's results, one per round."""
    results = [[] for _ in measures]
    for _ in range(rounds):
        for index, measure in enumerate(measures):
            results[index].append(measure())
    return results


def mib(kib):
    return "n/a" if kib is None else "%.1f MiB" % (kib / 1024)


def table(title, rows):
    """Prints `title` and rows of (what, figure, goal) with the figure column aligned."""
    print(title)
    width = max(len(row[0]) for row in rows)
    for what, figure, goal in rows:
        print("  %-*s  %-14s %s" % (width, what, figure, ("goal: " + goal) if goal else ""))
