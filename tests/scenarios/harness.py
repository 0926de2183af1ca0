"""Runs the built programs as a player would: in a scratch folder, with a key on standard input.

A scenario is a function registered with @scenario(name, disk=BYTES). It receives a Context that
makes scratch folders (checking free disk first), hands out cached fixtures, runs a program and
checks what it printed and left behind. A scenario fails by raising Failure (through `check`) and
is skipped by raising Skip with its reason; `run.py` turns these into exit codes for ctest.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
import traceback

# tests/, where the fixture package lives.
sys.path.insert(0, os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")))

from fixtures import images, registry  # noqa: E402

SCENARIOS = {}
GiB = 2 ** 30
SKIPPED = 77  # the exit code by which ctest knows a scenario that could not run


class Skip(Exception):
    pass


class Failure(Exception):
    pass


def scenario(name, disk=0, runners=("native",), locale=None):
    """Registers a scenario that needs `disk` free bytes in the scratch folder and can run under
    each of `runners` (names of runner classes: "native", "wine"); `locale` names the system
    setting a wine run imitates (its code pages), when not the default."""
    def register(function):
        function.disk = disk
        function.runners = tuple(runners)
        function.locale = locale
        SCENARIOS[name] = function
        return function
    return register


def also_under(runner_name, names):
    """Lets the scenarios `names` (those that exist) run under `runner_name` as well."""
    for name in names:
        if name in SCENARIOS and runner_name not in SCENARIOS[name].runners:
            SCENARIOS[name].runners += (runner_name,)


def check(condition, message):
    if not condition:
        raise Failure(message)


class Result:
    def __init__(self, stdout, returncode, seconds, newline="\n"):
        self.stdout = stdout
        self.returncode = returncode
        self.seconds = seconds
        self.newline = newline

    def text(self, encoding):
        """The output decoded, its line ends as "\n"; on Windows every one must be "\r\n"."""
        text = self.stdout.decode(encoding, errors="replace")
        if self.newline == "\n":
            return text
        check(text.count("\n") == text.count(self.newline), "a line of the output does not end in %r:\n%r"
              % (self.newline, text))
        return text.replace(self.newline, "\n")


class Interrupt:
    """What interrupts a run, and when: `kind` is "ctrl-c" (the player presses Ctrl-C at the
    console) or "terminate" (the program is told to end, or its console goes away); it is sent as
    soon as `ready()` holds, which a scenario makes a fact on disk (a file has appeared), not a time."""

    def __init__(self, kind, ready):
        self.kind = kind
        self.ready = ready


def file_reaches(path, size):
    """A readiness test for Interrupt: `path` exists and holds at least `size` bytes."""
    def ready():
        try:
            return os.path.getsize(path) >= size
        except OSError:
            return False
    return ready


def run_program(argv, cwd, env, stdin, timeout, interrupt=None, deliver=None, new_session=False, on_start=None):
    """Runs `argv` to its end, its standard output and error joined; with `interrupt`, calls
    deliver(process, kind) once interrupt.ready() holds; `on_start(process)` is called as soon as it
    runs. Returns the output, the exit status and the seconds taken."""
    # Gigabytes that earlier runs left to write back would throttle the decoder's first writes
    # while the program gives its output five seconds to appear: write them now.
    os.sync()
    started = time.monotonic()
    process = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, start_new_session=new_session)
    if on_start:
        on_start(process)
    output = []
    reader = threading.Thread(target=lambda: output.append(process.stdout.read()))
    reader.start()
    try:
        try:
            process.stdin.write(stdin)
            process.stdin.close()
        except BrokenPipeError:
            pass
        if interrupt:
            while not interrupt.ready():
                check(process.poll() is None, "the program ended before it could be interrupted")
                check(time.monotonic() - started < timeout, "never ready to be interrupted")
                time.sleep(0.01)
            deliver(process, interrupt.kind)
        process.wait(timeout=timeout)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        reader.join()
    return output[0] if output else b"", process.returncode, time.monotonic() - started


PROGRESS = re.compile(r"Progression : (\d+) %\r")
DECODER_COMPLAINT = re.compile(rb"xdelta3: [^\n]*\n")


def without_decoder_complaints(result):
    """The decoder shares the console: the lines in which it says why it stopped are its own, not
    ours to check. They are taken out of the output and counted in result.decoder_complaints."""
    result.stdout, result.decoder_complaints = DECODER_COMPLAINT.subn(b"", result.stdout)
    return result


def split_progress(text):
    """The percentages of the progress line, in order, and the text without them."""
    shown = [int(value) for value in PROGRESS.findall(text)]
    return shown, PROGRESS.sub("", text)


def progress_around(result, marker, encoding):
    """The percentages shown before and after the first `marker` in the output (all before when
    it is missing): a failed stage's own, and those of the CRC32 pass that follows it."""
    before, _, after = result.text(encoding).partition(marker)
    return split_progress(before)[0], split_progress(after)[0]


def collapse_repeats(shown):
    """The progress values with runs of the same value (the line rewritten unchanged) made one."""
    return [value for index, value in enumerate(shown) if index == 0 or shown[index - 1] != value]


class NativeRunner:
    """Runs the Linux build; the decoder is xdelta3 from the search path unless told otherwise."""

    name = "native"
    encoding = "utf-8"
    separator = "/"
    newline = "\n"
    decoder_name = "xdelta3"

    def __init__(self, program_dir):
        self.program_dir = program_dir

    def prepare(self):
        pass

    def close(self):
        pass

    def executable(self, program):
        return os.path.join(self.program_dir, program)

    def run(self, program, cwd, stdin=b"\n", decoder=True, timeout=900, interrupt=None, unprivileged=False):
        """`unprivileged`: as an account that folder permissions hold back (root is not)."""
        env = dict(os.environ)
        if not decoder:
            env["PATH"] = "/nonexistent"  # no xdelta3 anywhere
        argv = [self.executable(program)]
        if unprivileged and os.geteuid() == 0:
            if not shutil.which("setpriv"):
                raise Skip("setpriv is not installed: no unprivileged account to run as")
            argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + argv
        result = Result(*run_program(argv, cwd, env, stdin, timeout, interrupt, self.deliver))
        result.start_directory = os.path.realpath(cwd)  # as the program names it
        return result

    @staticmethod
    def deliver(process, kind):
        """To the program alone, so that what it does to the decoder is its own doing."""
        process.send_signal(signal.SIGINT if kind == "ctrl-c" else signal.SIGTERM)


class Context:
    def __init__(self, runner, fixture_root, scratch_root):
        self.runner = runner
        self.fixture_root = fixture_root
        self.scratch_root = scratch_root
        self.folders = []
        self.mounts = []

    def fixture(self, name):
        """The cached fixture `name` (a registry.Fixture); Skip when the disk cannot hold it."""
        try:
            return registry.get(name, self.fixture_root)
        except registry.NoRoom as reason:
            raise Skip(str(reason))

    def scratch(self, disk):
        """A new empty folder; Skip when the disk cannot hold what the scenario writes."""
        os.makedirs(self.scratch_root, exist_ok=True)
        free = images.free_bytes(self.scratch_root)
        if free < disk:
            raise Skip("needs %.1f GiB free in %s, has %.1f GiB" % (disk / GiB, self.scratch_root, free / GiB))
        folder = os.path.join(self.scratch_root, "run-%d" % len(self.folders))
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.folders.append(folder)
        return folder

    def small_volume(self, size):
        """A new empty folder that is a file system of its own, `size` bytes large (a tmpfs); Skip
        when this account may not mount one."""
        folder = self.scratch(0)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % size, "tmpfs", folder],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if mounted.returncode != 0:
            raise Skip("cannot mount a small file system: %s" % mounted.stdout.decode(errors="replace").strip())
        self.mounts.append(folder)
        return folder

    def place(self, source, *target_parts):
        """Copies a fixture file (sparse) to a path inside a scratch folder, making its folders."""
        target = os.path.join(*target_parts)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        images.copy_sparse(source, target)
        return target

    def display(self, *parts):
        """A path relative to the start folder as the program shows it."""
        return self.runner.separator.join(parts)

    def run(self, program, cwd, **options):
        return self.runner.run(program, cwd, **options)

    def cleanup(self):
        self.runner.close()
        for folder in self.mounts:
            subprocess.run(["umount", folder])
        for folder in self.folders:
            shutil.rmtree(folder, ignore_errors=True)


def expect_text(result, expected, encoding):
    """The output, progress lines left out, must be exactly `expected`."""
    shown, rest = split_progress(result.text(encoding))
    check(rest == expected, "output differs:\n--- expected\n%s\n--- got\n%s" % (expected, rest))
    return shown


def files_below(folder):
    """The files below `folder`, as relative paths with "/"."""
    found = set()
    for root, _, names in os.walk(folder):
        for name in names:
            found.add(os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/"))
    return found


def expect_files(folder, expected):
    """The files below `folder` (relative paths with "/") must be exactly `expected`."""
    found = files_below(folder)
    check(found == set(expected), "files left: %s, expected %s" % (sorted(found), sorted(expected)))


def expect_nothing_found(context, program, cases, not_found):
    """Runs `program` once per case, each alone in a folder of its own, so that what is checked
    never hangs on the order in which a directory lists its entries. `cases` are (what, fill)
    pairs: fill(folder) puts the case in place and returns the folder to start in (None: the
    folder itself). Each run must end with `not_found` and the closing prompt, with standard input
    closed, and write nothing; a run that hangs fails."""
    for what, fill in cases:
        folder = context.scratch(0)
        start = fill(folder) or folder
        before = files_below(folder)
        result = context.run(program, start, stdin=b"", timeout=120)
        try:
            expect_text(result, not_found, context.runner.encoding)
        except Failure as failure:
            raise Failure("%s: %s" % (what, failure))
        check(result.returncode == 0, "%s: exit status %d" % (what, result.returncode))
        check(files_below(folder) == before, "%s: files written" % what)


def long_start_folder(folder):
    """A start folder whose path is longer than the patchers' 254-character path buffers, however
    the program sees it (under wine the folder above it is the root of a drive: "E:\\" and 252)."""
    start = os.path.join(folder, "d" * 252)
    os.makedirs(start)
    return start


def pipe_named(name):
    """A case for expect_nothing_found: a pipe that no program writes to, named like an image."""
    def fill(folder):
        os.mkfifo(os.path.join(folder, name))
    return fill


def run_reported(name, function, context):
    """Runs `function(context)` with the context's runner prepared, cleans up, prints PASSED,
    FAILED or SKIPPED with the reason, and returns the exit code for ctest: 0, 1 or SKIPPED."""
    started = time.monotonic()
    try:
        context.runner.prepare()
        function(context)
    except Skip as reason:
        print("SKIPPED %s: %s" % (name, reason))
        return SKIPPED
    except Failure as failure:
        print("FAILED %s: %s" % (name, failure))
        return 1
    except Exception:  # a broken scenario is a failure too
        traceback.print_exc()
        print("FAILED %s" % name)
        return 1
    finally:
        context.cleanup()
    print("PASSED %s in %.1f s" % (name, time.monotonic() - started))
    return 0
