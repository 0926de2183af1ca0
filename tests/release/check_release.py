#!/usr/bin/env python3
"""Checks the release archives of tools/package.sh as players get them, one check per run.

    check_release.py CHECK --version V --dist DIR --fixtures DIR --scratch DIR

package      runs tools/package.sh into DIST, with the US Elvane fixture's delta as the team's, and
             the team's contact
contents     both archives hold exactly their files, SHA256SUMS verifies, the guide reads right
             in Notepad and gives the contact, with no placeholder left (nor in the guide made
             without a contact, which has a sentence of its own there); the Linux programs are
             static (no interpreter, no shared library), the Windows programs import only Windows
             DLLs
linux        the Linux archive unpacked by tar, a US Elvane image put beside the programs: the
             French image right to the byte, with Debian's xdelta3
windows      the same with the zip, under wine, with the wine runner's xdelta.exe
Exit 0, 1 or 77 (SKIPPED, with the reason), as the scenarios.
"""

import argparse
import functools
import os
import re
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.abspath(os.path.join(HERE, "..", ".."))
for folder in (os.path.join(HERE, ".."), os.path.join(HERE, "..", "scenarios"), os.path.join(HERE, "..", "windows")):
    sys.path.insert(0, os.path.abspath(folder))

import check_executable  # noqa: E402
import harness  # noqa: E402
import messages  # noqa: E402
import wine_runner  # noqa: E402
from fixtures import images  # noqa: E402
from fixtures.source_tree import tool  # noqa: E402
from harness import GiB, check, expect_files, expect_text  # noqa: E402

make_release = tool("make_release")

FIXTURE = "elvane-us"
# The team's contact given to package.sh: spaces, accents and quotes to carry into both guides.
CONTACT = "traduction@example.org ou le fil « Patch français » du forum"
# What the guide's source holds for make_release to fill or drop: @VERSION@, @CONTACT@, markers.
PLACEHOLDER = re.compile(r"@[A-Z_]+@")


def archive_path(dist, version, platform):
    return os.path.join(dist, make_release.archive_name(version, platform) + "." + make_release.PLATFORMS[platform]["archive"])


def shipped_files(platform, delta):
    suffix = make_release.PLATFORMS[platform]["program_suffix"]
    return [program + suffix for program in make_release.PROGRAMS] + ["LISEZMOI.txt", "SHA256SUMS", delta]


def unpack(archive, folder):
    """Unpacks as a player would (the zip by its reader, the Linux archive by tar); the folder inside."""
    check(os.path.isfile(archive), "%s was not made" % archive)
    if archive.endswith(".zip"):
        with zipfile.ZipFile(archive) as packed:
            packed.extractall(folder)
    else:
        subprocess.run(["tar", "-xzf", archive, "-C", folder], check=True)
    inside = os.listdir(folder)
    check(len(inside) == 1, "the archive holds %s, not one folder" % sorted(inside))
    return os.path.join(folder, inside[0])


def package(options, context):
    source = context.fixture(FIXTURE).folder
    completed = subprocess.run(["bash", os.path.join(SOURCE_DIR, "tools", "package.sh"), "--with-delta", source,
                                "--contact", CONTACT, "--dist", options.dist])
    check(completed.returncode == 0, "tools/package.sh ended with status %d" % completed.returncode)


def check_sums(folder):
    """SHA256SUMS names every other file of the folder, and `sha256sum -c` accepts them all."""
    with open(os.path.join(folder, "SHA256SUMS")) as sums:
        named = sorted(line.split("  ", 1)[1].rstrip("\n") for line in sums)
    others = sorted(name for name in os.listdir(folder) if name != "SHA256SUMS")
    check(named == others, "SHA256SUMS names %s, the folder holds %s" % (named, others))
    verified = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=folder, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
    check(verified.returncode == 0, "sha256sum -c in %s:\n%s" % (folder, verified.stdout.decode()))


def guide(folder):
    with open(os.path.join(folder, "LISEZMOI.txt"), "rb") as text:
        return text.read()


def readelf(option, path):
    """readelf's report on `path`; it fails on a file that is not ELF."""
    report = subprocess.run(["readelf", "-W", option, path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    check(report.returncode == 0, "readelf %s %s:\n%s" % (option, path, report.stdout.decode()))
    return report.stdout.decode()


def check_linux_program(path):
    """Runs on any x86-64 Linux: no program interpreter to find, no shared library to load."""
    name = os.path.basename(path)
    check(os.access(path, os.X_OK), "%s is not executable once unpacked" % path)
    header = readelf("-h", path)
    check(re.search(r"Machine:\s+Advanced Micro Devices X86-64", header), "%s is not an x86-64 program" % name)
    segments = readelf("-l", path)
    check("Program Headers:" in segments, "readelf shows no program header of %s" % name)
    check(not re.search(r"^\s*INTERP\s", segments, re.M), "%s asks for a program interpreter" % name)
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", readelf("-d", path))
    check(not needed, "%s needs %s" % (name, sorted(needed)))
    print("%s: static, no interpreter, no shared library" % name)


def contents(options, context):
    delta = context.fixture(FIXTURE).facts["delta"]
    folders = {}
    for platform in make_release.PLATFORMS:
        folder = unpack(archive_path(options.dist, options.version, platform), context.scratch(0))
        check(os.path.basename(folder) == make_release.archive_name(options.version, platform),
              "the folder inside is %s" % os.path.basename(folder))
        expect_files(folder, shipped_files(platform, delta))
        check_sums(folder)
        folders[platform] = folder
    # Notepad reads UTF-8 by its byte-order mark and breaks lines at "\r\n" only; Linux wants neither.
    windows_guide, linux_guide = guide(folders["windows-x64"]), guide(folders["linux-x86_64"])
    check(windows_guide.startswith(make_release.UTF8_BOM), "the Windows guide has no UTF-8 byte-order mark")
    check(windows_guide.count(b"\n") == windows_guide.count(b"\r\n"), "a line of the Windows guide ends without \\r")
    check(windows_guide[len(make_release.UTF8_BOM):].replace(b"\r\n", b"\n") == linux_guide,
          "the two guides differ in more than line ends")
    text = linux_guide.decode("utf-8")
    check("version %s" % options.version in text and "français" in text, "the guide lacks its version or accents")
    for platform, folder in folders.items():
        check(CONTACT.encode("utf-8") in guide(folder), "the %s guide does not give the team's contact" % platform)
    # A release made without a contact keeps a sentence of its own there, and neither gives a placeholder.
    without = make_release.guide_text(options.version, make_release.PLATFORMS["linux-x86_64"]).decode("utf-8")
    for made, guide_text in (("with", text), ("without", without)):
        left = PLACEHOLDER.findall(guide_text)
        check(not left, "the guide made %s a contact still holds %s" % (made, sorted(set(left))))
    check(set(without.splitlines()) - set(text.splitlines()),
          "the guide made without a contact has no sentence of its own")
    for program in make_release.PROGRAMS:
        check_linux_program(os.path.join(folders["linux-x86_64"], program))
        try:
            check_executable.check_program(program, folders["windows-x64"])
        except check_executable.Skip as reason:
            raise harness.Skip(str(reason))
        except check_executable.Failure as failure:
            raise harness.Failure(str(failure))


def patches_like_a_player(platform, options, context):
    """The archive unpacked into a fresh folder, the player's image put beside the programs."""
    made = context.fixture(FIXTURE)
    facts = made.facts
    folder = unpack(archive_path(options.dist, options.version, platform), context.scratch(3 * GiB))
    image = context.place(made.path("image"), folder, "Elvane.iso")
    context.runner.program_dir = folder
    result = context.run("frpatch_elvane", folder)
    expect_text(result, messages.banner("Elvane") + messages.recognised(False, "Elvane.iso") + messages.PATCHING
                + messages.success("Elvane_patched.iso") + messages.CLOSING, context.runner.encoding)
    expect_files(folder, shipped_files(platform, facts["delta"]) + ["Elvane.iso", "Elvane_patched.iso"])
    check(images.file_sha256(os.path.join(folder, "Elvane_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")
    check(images.file_sha256(image) == facts["image_sha256"], "the player's image changed")
    print("patched in %.1f s" % result.seconds)


CHECKS = {
    "package": package,
    "contents": contents,
    "linux": functools.partial(patches_like_a_player, "linux-x86_64"),
    "windows": functools.partial(patches_like_a_player, "windows-x64"),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=sorted(CHECKS))
    parser.add_argument("--version", required=True)
    parser.add_argument("--dist", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--scratch", required=True)
    options = parser.parse_args()
    options.dist = os.path.abspath(options.dist)
    fixture_root = os.path.abspath(options.fixtures)
    scratch = os.path.abspath(os.path.join(options.scratch, options.check))
    # The runner starts in the dist folder; the check points it at the unpacked programs.
    if options.check == "windows":
        runner = wine_runner.WineRunner(options.dist, fixture_root, os.path.join(scratch, "wine"))
    else:
        runner = harness.NativeRunner(options.dist)
    context = harness.Context(runner, fixture_root, scratch)
    return harness.run_reported("release." + options.check, functools.partial(CHECKS[options.check], options), context)


if __name__ == "__main__":
    sys.exit(main())
