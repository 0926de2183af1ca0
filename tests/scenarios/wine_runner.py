"""Runs the Windows build under wine, as a player on Windows would: code page 850, drive letters.

Each runner has a wine prefix of its own (a hard-linked copy of one made once per fixture cache by
`wineboot`), maps the scenario's scratch folder to a drive letter, and runs the program with the
real command processor, which starts the decoder with "start /b xdelta.exe ...". The decoder is
a Windows xdelta.exe built from Debian's xdelta3 source (tests/windows/windows_decoder.py), placed in every
folder that holds a delta file (the folder the command line expects to be current): it parses the
command line's drive-letter paths itself and holds its files with its own sharing modes, as on a
player's Windows. Where a scenario must see the exact command line the program built, a launcher
named xdelta.exe (tests/windows/decoder_launcher.c) notes the arguments and hands the same command
line to the real decoder; it can also hold the decoder's source image until the program has tried
to remove it.
"""

import contextlib
import ctypes
import os
import sys
import re
import select
import shutil
import signal
import struct
import subprocess
import threading

from harness import Result, Skip, check, run_program

WINDOWS_SOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows")
sys.path.insert(0, WINDOWS_SOURCES)

import windows_decoder  # noqa: E402
COMPILER = "x86_64-w64-mingw32-gcc"

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
    decoder_name = "xdelta.exe"

    def __init__(self, program_dir, fixture_root, work_root, locale=None):
        """`locale`: a Unix locale whose system setting wine takes on (its ANSI and OEM code
        pages: "fr_FR.UTF-8" gives 1252 and 850, as on a French Windows)."""
        self.program_dir = program_dir
        self.locale = locale
        self.fixture_root = fixture_root
        self.work_root = work_root
        self.prefix = os.path.join(work_root, "prefix")
        self.decoder_log = os.path.join(work_root, "decoder-calls")
        self.hold_folder = os.path.join(work_root, "decoder-hold")
        self.drives = {}  # letter -> folder
        self.environment = None

    def executable(self, program):
        return os.path.join(self.program_dir, program + ".exe")

    def prepare(self):
        """Skips the scenario when wine, the tools or the Windows build are missing; else makes the
        prefix. (A missing Windows decoder skips only the runs that need it.)"""
        for tool in ("wine", "wineserver", "wineboot", "xdelta3", COMPILER):
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

    # ---- Windows programs of the tests ----------------------------------------------------------

    def windows_tool(self, name):
        """tests/windows/NAME.c built for Windows, once per runner; its path."""
        tool = os.path.join(self.work_root, name + ".exe")
        if not os.path.exists(tool):
            subprocess.run([COMPILER, "-O1", "-static", "-o", tool, os.path.join(WINDOWS_SOURCES, name + ".c")],
                           check=True)
        return tool

    # ---- The decoder ----------------------------------------------------------------------------

    def place_decoders(self, folders, log_calls=False):
        """xdelta.exe in each of `folders`: the Windows decoder itself or, with `log_calls`, the
        launcher that notes each start's arguments (see decoder_calls) and starts the decoder with
        the same command line. Skip when the decoder was not made; the paths placed."""
        self.prepare()
        folders = [folder for folder in folders if not os.path.exists(os.path.join(folder, "xdelta.exe"))]
        if not folders:
            return []
        try:
            decoder = windows_decoder.get(self.fixture_root)
        except windows_decoder.Unavailable as reason:
            raise Skip(str(reason))
        if log_calls:
            self.environment.update(DECODER_REAL=self.windows_path(decoder),
                                    DECODER_LOG=self.windows_path(self.decoder_log))
            decoder = self.windows_tool("decoder_launcher")
        placed = []
        for folder in folders:
            path = os.path.join(folder, "xdelta.exe")
            link_or_copy(decoder, path)
            placed.append(path)
        return placed

    def decoder_calls(self):
        """The argument lists the launcher was started with, in order (as the C runtime hands them
        to a Windows program: bytes of the ANSI code page)."""
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
        process = subprocess.Popen(["wine", self.windows_tool("hold_file"), self.windows_path(path)],
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   env=self.environment)
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

    def run(self, program, cwd, stdin=b"\n", decoder=True, timeout=900, at_drive_root=False, interrupt=None,
            log_decoder=False, hold_source=None):
        """Runs the program in `cwd`, seen as a folder of drive D: (or, with `at_drive_root`, as the
        root of a drive of its own). The decoder goes into every folder below `cwd` that holds a
        delta file (the folder that is current when the program starts it), or into the folders
        that `decoder` lists; `decoder` False: no xdelta.exe anywhere. With `log_decoder` it is the
        launcher, and result.decoder_calls lists the arguments of each start. With `hold_source`
        (the path of the image the decoder reads) the launcher also holds that image, as the
        decoder does, until the program has tried twice since the decoder ended to remove it;
        result.held_source_opens counts those tries. Standard output and error share one pipe, as
        they share the console. Only a Ctrl-C can `interrupt` it: wine makes SIGINT a console
        Ctrl-C, but has no signal for a console being closed."""
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
        placed = self.place_decoders(decoder or [], log_calls=log_decoder or hold_source is not None)
        environment = self.environment
        hold = None
        if hold_source is not None:
            shutil.rmtree(self.hold_folder, ignore_errors=True)
            os.makedirs(self.hold_folder)
            environment = dict(self.environment, DECODER_HOLD=self.windows_path(self.hold_folder))
            hold = SourceHold(hold_source, self.hold_folder)
        try:
            # Interrupted, in a session of its own: a Ctrl-C reaches every program of the console, as a
            # terminal's does.
            stdout, returncode, seconds = run_program(["wine", self.executable(program)], cwd, environment, stdin,
                                                      timeout, interrupt, self.deliver, new_session=bool(interrupt),
                                                      on_start=hold.start if hold else None)
        finally:
            if hold:
                hold.stop()
            for path in placed:
                os.remove(path)
        output, start_failures = START_FAILURE.subn(b"", stdout)
        result = Result(output, returncode, seconds, newline=self.newline)
        result.start_failures = start_failures
        result.decoder_calls = self.decoder_calls()
        result.start_directory = self.windows_path(cwd)
        if hold:
            result.held_source_opens = hold.opens
        return result


IN_OPEN = 0x20
IN_CREATE = 0x100
IN_MOVED_TO = 0x80


class SourceHold:
    """Lets the launcher's hold on the decoder's source go once the program has opened that file
    twice since the decoder ended, as its removal does (a removal refused while the file was
    held, then tried again). The opens are those the kernel reports (inotify) in the source's
    folder; the decoder's own come before it ends, and the launcher opened its handle before
    starting it. If the program ends first, the hold goes then."""

    TRIES = 2

    def __init__(self, source, hold_folder):
        self.name = os.fsencode(os.path.basename(source))
        self.hold_folder = hold_folder
        self.opens = 0
        self.done = threading.Event()
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        for folder, mask in ((os.path.dirname(source), IN_OPEN), (hold_folder, IN_CREATE | IN_MOVED_TO)):
            if self.libc.inotify_add_watch(self.fd, os.fsencode(folder), mask) < 0:
                raise OSError(ctypes.get_errno(), "inotify_add_watch %s" % folder)
        self.thread = None

    def start(self, process):
        self.thread = threading.Thread(target=self.follow, args=(process,))
        self.thread.start()

    def events(self):
        """(watch, mask, name) of the events waiting, if any within 0.1 s."""
        if not select.select([self.fd], [], [], 0.1)[0]:
            return
        data = os.read(self.fd, 65536)
        offset = 0
        while offset < len(data):
            watch, mask, _, length = struct.unpack_from("iIII", data, offset)
            yield watch, mask, data[offset + 16:offset + 16 + length].rstrip(b"\0")
            offset += 16 + length

    def follow(self, process):
        ended = False
        while not self.done.is_set() and self.opens < self.TRIES and process.poll() is None:
            for _, mask, name in self.events():
                if mask & (IN_CREATE | IN_MOVED_TO) and name == b"ended":
                    ended = True
                elif mask & IN_OPEN and name == self.name and ended:
                    self.opens += 1
        self.release()

    def release(self):
        with open(os.path.join(self.hold_folder, "release"), "w"):
            pass

    def stop(self):
        self.done.set()
        if self.thread:
            self.thread.join()
        else:
            self.release()
        os.close(self.fd)
