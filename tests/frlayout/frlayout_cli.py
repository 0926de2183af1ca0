#!/usr/bin/env python3
"""frlayout as a maintainer runs it: each bad input refused with its message, and the name table that
`frlayout names` prints read back by the build's own table reader.

frlayout_cli.py bad-inputs --program PATH   every bad input: its exit status and message
frlayout_cli.py names --program PATH        the printed table against xorriso's report (SKIPPED, exit 77,
                                            without xorriso or genisoimage)
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests"))

from fixtures import releases  # noqa: E402
from fixtures.tables import reader  # noqa: E402  (the build's own reader of the table files)

SKIPPED = 77


def sparse_image(path, release, size=None):
    """An image of the release's size (or `size`) holding only its boot path and marker."""
    with open(path, "wb") as image:
        image.truncate(release["size"] if size is None else size)
        for offset, data in releases.identity_stamps(release).items():
            image.seek(offset)
            image.write(data)


def run(program, arguments, folder):
    done = subprocess.run([program] + arguments, cwd=folder, capture_output=True, text=True, timeout=300)
    return done.returncode, done.stdout + done.stderr


def bad_inputs(program):
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        sparse_image(os.path.join(folder, "elvane_us.iso"), releases.ELVANE_US)
        sparse_image(os.path.join(folder, "elvane_eu.iso"), releases.ELVANE_EU)
        sparse_image(os.path.join(folder, "velmora_us.iso"), releases.VELMORA_US)
        sparse_image(os.path.join(folder, "velmora_eu.iso"), releases.VELMORA_EU)
        sparse_image(os.path.join(folder, "cut_us.iso"), releases.ELVANE_US, size=1000000000)
        # A French image a sector short of the game's French size.
        sparse_image(os.path.join(folder, "short_fr.iso"), releases.ELVANE_US, size=releases.ELVANE_US["size"] - 2048)
        with open(os.path.join(folder, "notes.iso"), "w") as notes:
            notes.write("not a disc\n" * 1000)
        os.mkdir(os.path.join(folder, "folder.iso"))
        os.mkfifo(os.path.join(folder, "fifo.iso"))
        data = os.path.join(folder, "data")
        os.mkdir(data)
        with open(os.path.join(data, "README.md"), "w") as readme:
            readme.write("the tables\n")
        out = ["--out", data]
        cases = [
            ("no arguments", [], 2, "usage: frlayout"),
            ("an unknown game", ["zelda", "a.iso", "b.iso"], 2, "unknown game or command zelda"),
            ("one image", ["elvane", "elvane_us.iso"], 2, "give two images"),
            ("an area without its sectors", ["names", "a.iso", "b.iso", "--area", "12", "--base", "3"], 2,
             "--area takes FIRST:SECTORS"),
            ("a missing file", ["elvane", "missing.iso", "elvane_eu.iso"] + out, 1,
             "missing.iso cannot be opened for reading: No such file or directory"),
            ("a folder", ["elvane", "folder.iso", "elvane_eu.iso"] + out, 1, "folder.iso is a folder, not a disc image"),
            ("a file that is no disc image", ["elvane", "notes.iso", "elvane_eu.iso"] + out, 1,
             "notes.iso is no Elvane or Velmora disc image"),
            ("a truncated image", ["elvane", "cut_us.iso", "elvane_eu.iso"] + out, 1,
             "cut_us.iso is a truncated Elvane US image: 1000000000 bytes of 2599682048"),
            ("the images swapped", ["elvane", "elvane_eu.iso", "elvane_us.iso"] + out, 1, "the images are swapped"),
            ("two US images", ["velmora", "velmora_us.iso", "velmora_us.iso"] + out, 1, "are both US images"),
            ("the other game", ["elvane", "velmora_us.iso", "velmora_eu.iso"] + out, 1,
             "velmora_us.iso is a Velmora image; frlayout elvane takes Elvane images"),
            ("images without a file system", ["velmora", "velmora_us.iso", "velmora_eu.iso"] + out, 1,
             "velmora_us.iso: it holds neither a UDF nor an ISO 9660 file system"),
            ("a check without a file system", ["check", "elvane", "elvane_us.iso", "elvane_eu.iso"], 1,
             "elvane_us.iso: it holds neither a UDF nor an ISO 9660 file system"),
            ("deltas from a French image of the wrong size", ["deltas", "elvane", "elvane_us.iso", "elvane_eu.iso",
                                                               "short_fr.iso"] + out, 1,
             "short_fr.iso is 2599680000 bytes long; the French image of Elvane is 2599682048 bytes"),
            ("deltas from swapped images", ["deltas", "velmora", "velmora_eu.iso", "velmora_us.iso", "short_fr.iso"] + out, 1,
             "velmora_eu.iso is the European image of Velmora where the US one is due"),
            ("deltas without a folder for them", ["deltas", "elvane", "elvane_us.iso", "elvane_eu.iso", "short_fr.iso"], 2,
             "deltas needs --out DIR"),
            ("a rebuild of a US image", ["rebuild", "velmora", "velmora_us.iso", "out.iso"], 1,
             "velmora_us.iso is the US image of Velmora; frlayout rebuild velmora takes the European image"),
            ("a recognised dump whose file system cannot be read", ["check", "elvane", "elvane_us.iso", "elvane_eu.iso"], 1,
             "the published one of the US Elvane disc: this dump is probably damaged; dump the disc again"),
            ("a FIFO named like an image", ["names", "fifo.iso", "elvane_eu.iso", "--area", "1:2", "--base", "3"], 1,
             "fifo.iso is a FIFO, not a disc image"),
        ]
        before = sorted(os.listdir(folder))
        for what, arguments, status, told in cases:
            code, output = run(program, arguments, folder)
            if code != status or told not in output:
                failures.append("%s: exit status %d (wanted %d), output:\n%s" % (what, code, status, output))
            if "Segmentation" in output or code < 0:
                failures.append("%s: the program crashed" % what)
        if sorted(os.listdir(data)) != ["README.md"] or sorted(os.listdir(folder)) != before:
            failures.append("a refused run left files behind: %s, %s" % (sorted(os.listdir(data)), sorted(os.listdir(folder))))
    return failures


def names(program):
    for tool in ("xorriso", "genisoimage"):
        if not shutil.which(tool):
            print("SKIPPED: %s is not installed (bash tools/setup.sh installs it)" % tool)
            return None
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        files = {"fpack/RI07.fp": 70000, "res/Map/m012.map.lzr": 5000, "res/Map/M012.map.lzr": 3000,
                 "a/b/c/deep.bin": 10, "name with spaces.bin": 4096}
        us_order = ["res/Map/M012.map.lzr", "fpack/RI07.fp", "a/b/c/deep.bin", "name with spaces.bin", "res/Map/m012.map.lzr"]
        eu_order = ["name with spaces.bin", "res/Map/m012.map.lzr", "menu/langsel.tm2", "fpack/RI07.fp",
                    "res/Map/M012.map.lzr", "a/b/c/deep.bin"]
        for tree, extra in (("us", {}), ("eu", {"menu/langsel.tm2": 9000})):
            for name, size in dict(files, **extra).items():
                path = os.path.join(folder, tree, name)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as out:
                    out.write((name.encode() * (size // len(name) + 1))[:size])
        with open(os.path.join(folder, "us.sort"), "w") as weights:
            weights.writelines("us/%s %d\n" % (name, 50 - rank) for rank, name in enumerate(us_order))
        with open(os.path.join(folder, "eu.sort"), "w") as weights:
            weights.writelines("%d /%s\n" % (50 - rank, name) for rank, name in enumerate(eu_order))
        subprocess.run("genisoimage -quiet -udf -R -J -sort us.sort -o us.iso us", shell=True, cwd=folder, check=True)
        subprocess.run("xorriso -as mkisofs -quiet -R --sort-weight-list eu.sort -o eu.iso eu", shell=True, cwd=folder,
                       check=True, capture_output=True)
        us, eu = report(os.path.join(folder, "us.iso")), report(os.path.join(folder, "eu.iso"))
        first = us[us_order[0]][0]
        end = us[us_order[-1]][0] + us[us_order[-1]][1]
        base = eu[eu_order[0]][0] - 3
        done = subprocess.run([program, "names", "us.iso", "eu.iso", "--area", "%d:%d" % (first, end - first),
                               "--base", str(base)], cwd=folder, capture_output=True, text=True)
        if done.returncode != 0:
            return ["frlayout names failed:\n" + done.stderr]
        with open(os.path.join(folder, "names.txt"), "w") as table:
            table.write(done.stdout)
        sections = reader.read_names(os.path.join(folder, "names.txt"))
        wanted = [(name, us[name][0] - first, us[name][1]) for name in us_order]
        if sections["destination"] != wanted:
            failures.append("destination rows %s, wanted %s" % (sections["destination"], wanted))
        wanted = [(name, eu[name][0] - base, 0) for name in eu_order]
        if sections["source"] != wanted:
            failures.append("source rows %s, wanted %s" % (sections["source"], wanted))
    return failures


def report(image):
    """{name: (first sector, sectors)} as xorriso reports the image's files."""
    done = subprocess.run(["xorriso", "-indev", image, "-find", "/", "-exec", "report_lba", "--"],
                          capture_output=True, text=True, check=True)
    files = {}
    for line in done.stdout.splitlines():
        if line.startswith("File data lba:"):
            fields = [field.strip() for field in line[len("File data lba:"):].split(",", 4)]
            files[fields[4].strip("'")[1:]] = (int(fields[1]), int(fields[2]))
    return files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("test", choices=["bad-inputs", "names"])
    parser.add_argument("--program", required=True)
    options = parser.parse_args()
    failures = (bad_inputs if options.test == "bad-inputs" else names)(os.path.abspath(options.program))
    if failures is None:
        return SKIPPED
    for failure in failures:
        print("FAILED: " + failure)
    if not failures:
        print("passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
