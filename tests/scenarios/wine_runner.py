"""Runs the Windows build under wine, as a player on Windows would: code page 850, drive letters.

Each runner has a wine prefix of its own (a hard-linked copy of one made once per fixture cache by
`wineboot`), maps the scenario's scratch folder to a drive letter, and runs the program with the
real command processor, which starts the decoder with "start /b xdelta.exe ...". The decoder is
Debian's xdelta3 behind a small launcher named xdelta.exe, placed in every folder that holds a
delta file (the folder the command line expects to be current): wine starts a Unix program named
xdelta.exe, but hands it the command line's Windows paths untouched, so the launcher maps each
drive-letter argument to the folder of that drive before it runs xdelta3. It also logs the
arguments, so that a scenario can see the exact command line the program built.
"""

import contextlib
import os
import re
import shlex
import shutil
import signal
import subprocess

from harness import Result, Skip, check, run_program

HOLDER_SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows", "hold_file.c")

WINE_ENVIRONMENT = {
    "WINEDEBUG": "-all",
    # wine's own messages in English, whatever the machine's language; the code pages those of an
    # English system (ANSI 1252, OEM 437) unless a scenario asks for another setting.
    "LC_ALL": "C.UTF-8",
    # No Mono/Gecko installers, no menu entries, no window: a console program needs none of them.
    "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
}
TEMPLATE_REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg", ".update-timestamp")
FIRST_DRIVE = "d"
# When xdelta.exe is missing, wine's "start" writes its complaint to the console, where Windows
# shows a dialog box; the runner takes it out of the console bytes and counts it. Its parts are
# written one by one, and now and then only the last, the system's error text, reaches the pipe.
START_FAILURE = re.compile(rb"(?:Application could not be started, or no application associated with the specified "
                           rb"file\.\n(?:ShellExecuteEx failed: )?[^\r\n]*|(?:ShellExecuteEx failed: )?File not found\.)"
                           rb"\r?\n\n")

LAUNCHER = """#!/bin/sh
# xdelta.exe under wine: Debian's xdelta3, with drive-letter arguments mapped to the folders the
# wine prefix gives those drives, and its messages ending their lines in "\\r\\n" as a Windows
# program's do. They go to standard error: a program that "start /b" runs under wine has no
# standard output (it is /dev/null), while its standard error is wine's own, which the runner
# joins to the console bytes. Written by the scenario runner; removed after the run.
dosdevices=%(dosdevices)s
{ printf '%%s\\0' "$@"; printf '\\n'; } >> %(log)s
count=$#
while [ "$count" -gt 0 ]; do
  argument=$1
  shift
  count=$((count - 1))
  case $argument in
    [A-Za-z]:\\\\*)
      drive=$(printf '%%s' "${argument%%%%:*}" | tr 'A-Z' 'a-z')
      rest=$(printf '%%s' "${argument#?:}" | tr '\\\\' '/')
      argument=$(readlink -f "$dosdevices/$drive:")$rest ;;
  esac
  set -- "$@" "$argument"
done
%(xdelta3)s "$@" 2>&1 | sed "s/\\$/$(printf '\\r')/" >&2
"""


def wine_version():
    return subprocess.run(["wine", "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          check=True, env=dict(os.environ, **WINE_ENVIRONMENT)).stdout.decode().strip()


def make_template_prefix(fixture_root):
    """A wine prefix made once by wineboot and kept beside the fixtures, per wine version."""
    version = wine_version()
    template = os.path.join(fixture_root, "wine-prefix")
    stamp = os.path.join(template, "made-by-runner")
    if os.path.exists(stamp):
        with open(stamp) as made:
            if made.read().strip() == version:
                return template
    building = template + ".building"
    shutil.rmtree(template, ignore_errors=True)
    shutil.rmtree(building, ignore_errors=True)
    os.makedirs(os.path.dirname(building), exist_ok=True)
    environment = dict(os.environ, WINEPREFIX=building, **WINE_ENVIRONMENT)
    environment.pop("DISPLAY", None)
    subprocess.run(["wineboot", "--init"], env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True, timeout=600)
    subprocess.run(["wineserver", "-w"], env=environment, check=True, timeout=600)
    if not os.path.isdir(os.path.join(building, "drive_c", "windows")):
        raise RuntimeError("wineboot made no prefix in %s" % building)
    with open(os.path.join(building, "made-by-runner"), "w") as made:
        made.write(version + "\n")
    os.rename(building, template)
    return template


def locale_available(name):
    """Whether the C library has the locale `name` ("fr_FR.UTF-8" is listed as "fr_FR.utf8")."""
    listed = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode()
    wanted = name.lower().replace("utf-8", "utf8")
    return any(line.strip().lower().replace("utf-8", "utf8") == wanted for line in listed.splitlines())


def link_or_copy(source, target):
    try:
        os.link(source, target)
    except OSError:  # another file system
        shutil.copy2(source, target)


def copy_prefix(template, prefix):
    """A prefix of this runner's own: the system files hard-linked, the registry and stamps copied,
    since wine rewrites those."""
    shutil.rmtree(prefix, ignore_errors=True)
    shutil.copytree(template, prefix, symlinks=True, copy_function=link_or_copy)
    for name in TEMPLATE_REGISTRY_FILES:
        path = os.path.join(prefix, name)
        if os.path.exists(path):
            os.remove(path)
            shutil.copy2(os.path.join(template, name), path)


class WineRunner:
    """Runs PROGRAM.exe of the Windows build under wine, in a prefix made for this runner."""

    name = "wine"
    encoding = "cp850"
    separator = "\\"
    newline = "\r\n"  # the C runtime writes each "\n" of a text-mode stream as "\r\n"

    def __init__(self, program_dir, fixture_root, work_root, locale=None):
        """`locale`: a Unix locale whose system setting wine takes on (its ANSI and OEM code
        pages: "fr_FR.UTF-8" gives 1252 and 850, as on a French Windows)."""
        self.program_dir = program_dir
        self.locale = locale
        self.fixture_root = fixture_root
        self.work_root = work_root
        self.prefix = os.path.join(work_root, "prefix")
        self.decoder_log = os.path.join(work_root, "decoder-calls")
        self.drives = {}  # letter -> folder
        self.environment = None

    def executable(self, program):
        return os.path.join(self.program_dir, program + ".exe")

    def prepare(self):
        """Skips the scenario when wine, xdelta3 or the Windows build is missing; else makes the prefix."""
        for tool in ("wine", "wineserver", "wineboot", "xdelta3"):
            if not shutil.which(tool):
                raise Skip("%s is not installed (tools/setup.sh installs it)" % tool)
        if not os.path.isdir(self.program_dir):
            raise Skip("no Windows build in %s (tools/test_all.sh makes it)" % self.program_dir)
        if self.locale and not locale_available(self.locale):
            raise Skip("the locale %s is not generated (tools/setup.sh generates it)" % self.locale)
        if self.environment is not None:
            return
        template = make_template_prefix(self.fixture_root)
        os.makedirs(self.work_root, exist_ok=True)
        copy_prefix(template, self.prefix)
        self.environment = dict(os.environ, WINEPREFIX=self.prefix, **WINE_ENVIRONMENT)
        if self.locale:
            self.environment["LC_ALL"] = self.locale
        self.environment.pop("DISPLAY", None)
        # One server for the whole runner, with the services of the prefix started before any
        # program runs: started by a program, they would inherit its output pipe and hold it open.
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p600"], env=self.environment, check=True, **quiet)
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.environment, check=True, timeout=300, **quiet)

    def close(self):
        if self.environment is None:
            return
        subprocess.run(["wineserver", "-k"], env=self.environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.environment, timeout=60)
        self.environment = None
        shutil.rmtree(self.work_root, ignore_errors=True)

    # ---- Drives and paths -----------------------------------------------------------------------

    def map_drive(self, folder):
        """The drive letter whose root is `folder`, mapping the next free letter when none is."""
        folder = os.path.realpath(folder)
        for letter, root in self.drives.items():
            if root == folder:
                return letter
        letter = chr(ord(FIRST_DRIVE) + len(self.drives))
        link = os.path.join(self.prefix, "dosdevices", letter + ":")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(folder, link)
        self.drives[letter] = folder
        return letter

    def windows_path(self, path):
        """`path` as the programs see it: through the deepest mapped drive, else through Z:."""
        path = os.path.realpath(path)
        best = None
        for letter, root in self.drives.items():
            if (path == root or path.startswith(root + os.sep)) and (best is None or len(root) > len(best[1])):
                best = (letter, root)
        if best is None:
            return "Z:" + path.replace("/", "\\")
        rest = os.path.relpath(path, best[1])
        return best[0].upper() + ":\\" + ("" if rest == "." else rest.replace("/", "\\"))

    # ---- The decoder ----------------------------------------------------------------------------

    def place_decoders(self, folders):
        """xdelta.exe in each of `folders`; the paths placed."""
        launcher = LAUNCHER % {"dosdevices": shlex.quote(os.path.join(self.prefix, "dosdevices")),
                               "log": shlex.quote(self.decoder_log),
                               "xdelta3": shlex.quote(shutil.which("xdelta3"))}
        placed = []
        for folder in folders:
            path = os.path.join(folder, "xdelta.exe")
            if os.path.exists(path):
                continue
            with open(path, "w") as script:
                script.write(launcher)
            os.chmod(path, 0o755)
            placed.append(path)
        return placed

    def decoder_calls(self):
        """The argument lists the decoder was started with, in order."""
        if not os.path.exists(self.decoder_log):
            return []
        with open(self.decoder_log, "rb") as log:
            records = log.read().split(b"\0\n")
        return [record.split(b"\0") for record in records if record]

    # ---- Another program holding a file ---------------------------------------------------------

    @contextlib.contextmanager
    def held_open(self, path):
        """While the block runs, a Windows program of this prefix holds `path` open for reading."""
        self.prepare()
        compiler = "x86_64-w64-mingw32-gcc"
        if not shutil.which(compiler):
            raise Skip("%s is not installed (tools/setup.sh installs it)" % compiler)
        holder = os.path.join(self.work_root, "hold_file.exe")
        if not os.path.exists(holder):
            subprocess.run([compiler, "-O1", "-static", "-o", holder, HOLDER_SOURCE], check=True)
        process = subprocess.Popen(["wine", holder, self.windows_path(path)], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=self.environment)
        try:
            answer = process.stdout.readline()
            check(answer.strip() == b"held", "the holder could not open %s: %r" % (path, answer))
            yield
        finally:
            process.communicate(b"\n", timeout=60)

    # ---- Running --------------------------------------------------------------------------------

    @staticmethod
    def deliver(process, kind):
        os.killpg(process.pid, signal.SIGINT)

    def run(self, program, cwd, stdin=b"\n", decoder=True, timeout=900, at_drive_root=False, interrupt=None):
        """Runs the program in `cwd`, seen as a folder of drive D: (or, with `at_drive_root`, as the
        root of a drive of its own). The decoder goes into every folder below `cwd` that holds a
        delta file (the folder that is current when the program starts it), or into the folders
        that `decoder` lists; `decoder` False: no xdelta.exe anywhere. Standard output and error
        share one pipe, as they share the console. Only a Ctrl-C can `interrupt` it: wine makes
        SIGINT a console Ctrl-C, but has no signal for a console being closed."""
        if interrupt and interrupt.kind != "ctrl-c":
            raise Skip("wine delivers no console event but Ctrl-C")
        self.prepare()
        self.map_drive(os.path.dirname(cwd))
        if at_drive_root:
            self.map_drive(cwd)
        if os.path.exists(self.decoder_log):
            os.remove(self.decoder_log)
        if decoder is True:
            decoder = [root for root, _, names in os.walk(cwd) if any(name.lower().endswith(".xdelta") for name in names)]
        placed = self.place_decoders(decoder or [])
        try:
            # Interrupted, in a session of its own: a Ctrl-C reaches every program of the console, as a
            # terminal's does.
            stdout, returncode, seconds = run_program(["wine", self.executable(program)], cwd, self.environment, stdin,
                                                      timeout, interrupt, self.deliver, new_session=bool(interrupt))
        finally:
            for path in placed:
                os.remove(path)
        output, start_failures = START_FAILURE.subn(b"", stdout)
        result = Result(output, returncode, seconds, newline=self.newline)
        result.start_failures = start_failures
        result.decoder_calls = self.decoder_calls()
        result.start_directory = self.windows_path(cwd)
        return result
