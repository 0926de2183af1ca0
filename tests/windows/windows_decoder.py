#!/usr/bin/env python3
"""The delta decoder of the wine scenarios: Debian's xdelta3 source package, cross-built once with
mingw-w64 into a static xdelta.exe and kept beside the fixtures.

    windows_decoder.py FIXTURE_ROOT    makes it (or finds it made) and prints its path

The source package comes from the Debian archive that the machine's own packages come from:
apt-get reads a private copy of the machine's Debian entries with their type set to deb-src, and
keeps its lists and downloads in a folder of its own, so no archive address is written here and
the machine's apt configuration stays as it is. The decoder is built without LZMA (the fixtures
make their deltas with DJW), and it must import Windows DLLs only. A fetch or build that fails
leaves its reason beside the fixtures, where the wine runner shows it when it skips.
"""

import glob
import hashlib
import json
import os
import pwd
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import check_executable  # noqa: E402

NAME = "windows-decoder"
PACKAGE = "xdelta3"
COMPILER = "x86_64-w64-mingw32-gcc"
APT_SOURCES = "/etc/apt/sources.list"
APT_SOURCE_PARTS = "/etc/apt/sources.list.d"
# What Debian's own build of the tool sets, with the Windows file layer in place of the POSIX one
# and no LZMA or external compressors (neither is there to link statically).
DEFINES = ["XD3_MAIN=1", "XD3_WIN32=1", "XD3_POSIX=0", "XD3_STDIO=0", "XD3_USE_LARGEFILE64=1", "XD3_DEBUG=0",
           "REGRESSION_TEST=0", "SECONDARY_DJW=1", "SECONDARY_FGK=1", "SECONDARY_LZMA=0",
           "EXTERNAL_COMPRESSION=0", "SIZEOF_SIZE_T=8", "SIZEOF_UNSIGNED_LONG_LONG=8",
           "WINVER=0x0601", "_WIN32_WINNT=0x0601"]


class Unavailable(Exception):
    """No decoder made by this recipe; the message says why."""


def recipe():
    """Changes whenever this recipe does, so that a decoder made by another one is made again."""
    with open(os.path.abspath(__file__), "rb") as source:
        return hashlib.sha256(source.read()).hexdigest()[:16]


def paths(root):
    folder = os.path.join(root, NAME)
    return folder, os.path.join(folder, "xdelta.exe"), os.path.join(folder, "made.json"), folder + ".failed"


def get(root):
    """The path of xdelta.exe below the fixture root `root`; Unavailable when it is not made."""
    folder, decoder, stamp, failed = paths(root)
    if os.path.exists(stamp):
        with open(stamp) as record:
            if json.load(record).get("recipe") == recipe() and os.path.isfile(decoder):
                return decoder
        raise Unavailable("the Windows decoder in %s was made by another recipe (bash tools/setup.sh makes it again)"
                          % folder)
    if os.path.exists(failed):
        with open(failed) as reason:
            raise Unavailable("the Windows decoder could not be made: %s" % reason.read().strip())
    raise Unavailable("no Windows decoder in %s (bash tools/setup.sh makes it)" % folder)


def run(command, cwd, what):
    completed = subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
    if completed.returncode != 0:
        tail = completed.stdout.decode(errors="replace").strip().splitlines()[-6:]
        raise Unavailable("%s failed (exit %d): %s" % (what, completed.returncode, " | ".join(tail)))
    return completed.stdout.decode(errors="replace")


def source_entries(into):
    """Writes the machine's Debian entries, turned into source entries, to the folder `into`."""
    count = 0
    for path in sorted(glob.glob(os.path.join(APT_SOURCE_PARTS, "*.sources"))):
        with open(path) as entries:
            text = entries.read()
        text, found = re.subn(r"(?im)^Types:.*$", "Types: deb-src", text)
        count += found
        with open(os.path.join(into, os.path.basename(path)), "w") as copy:
            copy.write(text)
    one_line = sorted(glob.glob(os.path.join(APT_SOURCE_PARTS, "*.list")))
    if os.path.exists(APT_SOURCES):
        one_line.insert(0, APT_SOURCES)
    lines = []
    for path in one_line:
        with open(path) as entries:
            lines += [re.sub(r"^deb\s", "deb-src ", line) for line in entries.read().splitlines()
                      if re.match(r"^deb\s", line)]
    if lines:
        with open(os.path.join(into, "machine.list"), "w") as copy:
            copy.write("\n".join(lines) + "\n")
    if count + len(lines) == 0:
        raise Unavailable("no Debian entries in %s or %s" % (APT_SOURCES, APT_SOURCE_PARTS))


def fetch(work):
    """Downloads and unpacks the source package in `work`; returns (its folder, its version)."""
    parts = os.path.join(work, "sources.list.d")
    for folder in (parts, os.path.join(work, "lists", "partial"), os.path.join(work, "cache", "archives", "partial")):
        os.makedirs(folder)
    open(os.path.join(work, "sources.list"), "w").close()
    source_entries(parts)
    apt = ["apt-get", "-q", "-o", "Dir::Etc::sourcelist=" + os.path.join(work, "sources.list"),
           "-o", "Dir::Etc::sourceparts=" + parts, "-o", "Dir::State::Lists=" + os.path.join(work, "lists"),
           "-o", "Dir::Cache=" + os.path.join(work, "cache"),
           "-o", "APT::Sandbox::User=" + pwd.getpwuid(os.geteuid()).pw_name]
    # An entry of another archive without sources may fail the update; the download below says
    # whether the Debian one gave what is needed, and the update's complaints tell why not.
    updated = subprocess.run(apt + ["update"], cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT)
    try:
        run(apt + ["source", "--download-only", PACKAGE], work, "apt-get source %s" % PACKAGE)
    except Unavailable as reason:
        complaints = [line for line in updated.stdout.decode(errors="replace").splitlines()
                      if line.startswith(("E:", "W:", "Err:"))]
        raise Unavailable(" | ".join([str(reason)] + complaints[-4:]))
    descriptions = glob.glob(os.path.join(work, PACKAGE + "_*.dsc"))
    if len(descriptions) != 1:
        raise Unavailable("apt-get source %s gave %d source descriptions" % (PACKAGE, len(descriptions)))
    run(["dpkg-source", "-x", descriptions[0], "source"], work, "dpkg-source -x")
    return os.path.join(work, "source"), os.path.basename(descriptions[0])[:-len(".dsc")]


def build(root):
    """Makes xdelta.exe below `root` unless this recipe already made it; returns its path."""
    try:
        return get(root)
    except Unavailable:
        pass
    folder, decoder, stamp, failed = paths(root)
    building = folder + ".building"
    shutil.rmtree(building, ignore_errors=True)
    os.makedirs(building)
    try:
        for tool in ("apt-get", "dpkg-source", COMPILER):
            if not shutil.which(tool):
                raise Unavailable("%s is not installed (tools/setup.sh installs it)" % tool)
        work = os.path.join(building, "work")
        os.makedirs(work)
        source, version = fetch(work)
        executable = os.path.join(building, "xdelta.exe")
        run([COMPILER, "-O2", "-static", "-o", executable] + ["-D" + define for define in DEFINES] + ["xdelta3.c"],
            source, "building xdelta.exe")
        try:
            dlls = check_executable.check_imports(executable)
        except (check_executable.Failure, check_executable.Skip) as failure:
            raise Unavailable(str(failure))
        shutil.rmtree(work)
        with open(os.path.join(building, "made.json"), "w") as record:
            json.dump({"recipe": recipe(), "source": version, "imports": dlls}, record, indent=1)
    except Unavailable as reason:
        with open(failed, "w") as record:
            record.write("%s\n" % reason)
        shutil.rmtree(building, ignore_errors=True)
        shutil.rmtree(folder, ignore_errors=True)  # made by another recipe: not to be used either
        raise
    shutil.rmtree(folder, ignore_errors=True)
    os.rename(building, folder)
    if os.path.exists(failed):
        os.remove(failed)
    return decoder


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: windows_decoder.py FIXTURE_ROOT")
    try:
        print(build(os.path.abspath(sys.argv[1])))
    except Unavailable as reason:
        sys.exit("the Windows decoder could not be made: %s" % reason)
