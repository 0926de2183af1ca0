#!/usr/bin/env python3
"""frlayout on full-size disc images whose file systems genisoimage writes from the committed tables:
it must write those tables back, say that the built-in tables are those of the discs, and refuse,
leaving the data folder as it was, when a European sound run holds one stream more.

full_size_discs.py --program PATH --scratch FOLDER [elvane|velmora ...]

Each image is a UDF bridge written by genisoimage: every table row is a visible file at its sector
(xorriso's report checks that before frlayout runs), everything between them lies in hidden files,
and the boot path, the marker and the sound stream headers are written into those afterwards. The
images are sparse once written (fallocate --dig-holes). Exit 77 (SKIPPED) without genisoimage,
xorriso or fallocate, or with too little free disk.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests"))

from fixtures import plan, releases  # noqa: E402
from fixtures.layouts import ELVANE, VELMORA, name_step  # noqa: E402
from fixtures.tables import reader  # noqa: E402

SECTOR = 2048
SKIPPED = 77
# genisoimage writes an image whole before its holes are dug: room for the largest one and more.
DISK_NEEDED = 4 * 2 ** 30
FILL = "zz_fill"  # the folder of hidden files


class Failure(Exception):
    pass


def shell(command, folder):
    done = subprocess.run(command, shell=True, cwd=folder, capture_output=True, text=True)
    if done.returncode != 0:
        raise Failure("%s failed:\n%s%s" % (command, done.stdout, done.stderr))
    return done.stdout


def report(image):
    """{name: first sector} of the visible files, as xorriso reports them."""
    files = {}
    for line in shell("xorriso -indev '%s' -find / -exec report_lba --" % image, ".").splitlines():
        if line.startswith("File data lba:"):
            fields = [field.strip() for field in line[len("File data lba:"):].split(",", 4)]
            files[fields[4].strip("'")[1:]] = int(fields[1])
    return files


def write_image(folder, name, visible, size):
    """A genisoimage UDF bridge of `size` bytes whose visible files ({name: (sector, sectors)}) lie at
    their sectors; the sectors between them belong to hidden files of zeros."""
    work = os.path.join(folder, name + ".tree")
    image = os.path.join(folder, name)

    def make_tree(layout):
        """layout: [(path, bytes)] in disc order; writes the tree and its sort weights."""
        shutil.rmtree(work, ignore_errors=True)
        with open(work + ".sort", "w") as weights:
            for rank, (path, length) in enumerate(layout):
                full = os.path.join(work, path)
                os.makedirs(os.path.dirname(full), exist_ok=True)
                with open(full, "wb") as data:
                    data.truncate(length)
                weights.write("%s %d\n" % (os.path.join(work, path), len(layout) - rank))

    def genisoimage():
        shell("genisoimage -quiet -udf -R -J -hide %s -hide-joliet %s -sort '%s' -o '%s' '%s'"
              % (FILL, FILL, work + ".sort", image, work), folder)

    ordered = sorted(visible.items(), key=lambda item: item[1][0])
    # A trial with every file one sector long tells where the data begins and what follows it.
    trial = [(path, SECTOR) for path, _ in ordered]
    trial = [(os.path.join(FILL, "lead"), SECTOR)] + trial + [(os.path.join(FILL, "tail"), SECTOR)]
    gaps = []
    for (_, (sector, sectors)), (_, (following, _)) in zip(ordered, ordered[1:]):
        if following > sector + sectors:
            gaps.append(following - sector - sectors)
    trial += [(os.path.join(FILL, "gap%05d" % index), SECTOR) for index in range(len(gaps))]
    make_tree(trial)
    genisoimage()
    trial_first = report(image)[ordered[0][0]] - 1  # the lead file comes first
    trial_rest = os.path.getsize(image) // SECTOR - trial_first - len(trial)

    layout = [(os.path.join(FILL, "lead"), (ordered[0][1][0] - trial_first) * SECTOR)]
    gap = 0
    for index, (path, (sector, sectors)) in enumerate(ordered):
        # Files end short of their last sector's end, as files do, by as much in both images.
        layout.append((path, sectors * SECTOR - sum(path.encode()) * 97 % SECTOR))
        end = sector + sectors
        if index + 1 < len(ordered) and ordered[index + 1][1][0] > end:
            layout.append((os.path.join(FILL, "gap%05d" % gap), (ordered[index + 1][1][0] - end) * SECTOR))
            gap += 1
    last_sector, last_sectors = ordered[-1][1]
    layout.append((os.path.join(FILL, "tail"), (size // SECTOR - trial_rest - last_sector - last_sectors) * SECTOR))
    if any(length <= 0 for _, length in layout[:1] + layout[-1:]):
        raise Failure("%s: the file system's own sectors leave no room for the layout" % name)
    # Every file in a folder of its own name order; the sort file orders them on the disc.
    make_tree(layout)
    genisoimage()
    shutil.rmtree(work)
    os.remove(work + ".sort")
    shell("fallocate --dig-holes '%s'" % image, folder)
    if os.path.getsize(image) != size:
        raise Failure("%s came out %d bytes long, not %d" % (name, os.path.getsize(image), size))
    found = report(image)
    wrong = [path for path, (sector, _) in visible.items() if found.get(path) != sector]
    if wrong:
        raise Failure("%s: genisoimage did not put %s where planned" % (name, wrong[:5]))
    return image


def stamp(image, stamps):
    with open(image, "r+b") as data:
        for offset, payload in sorted(stamps.items()):
            data.seek(offset)
            data.write(payload)


def elvane_pair(folder):
    tables = ELVANE.tables()
    area, base = name_step(ELVANE).target // SECTOR, name_step(ELVANE).source // SECTOR
    lengths = {name: sectors for name, _, sectors in tables.destination}
    us = write_image(folder, "elvane_us.iso", {name: (area + sector, sectors) for name, sector, sectors in tables.destination},
                     releases.ELVANE_US["size"])
    eu = write_image(folder, "elvane_eu.iso", {name: (base + sector, lengths[name]) for name, sector in tables.source},
                     releases.ELVANE_EU["size"])
    us_stamps, eu_stamps = releases.identity_stamps(releases.ELVANE_US), releases.identity_stamps(releases.ELVANE_EU)
    for step in ELVANE.plan:
        if step.kind != "sound":
            continue
        for stream in plan.step_streams(step, tables):
            us_stamps[step.target + stream.target] = plan.header(stream.header)
            eu_stamps[step.source + stream.start] = plan.header(stream.header)
    stamp(us, us_stamps)
    stamp(eu, eu_stamps)
    return us, eu


def velmora_pair(folder):
    tables = VELMORA.tables()
    area, base = name_step(VELMORA).target // SECTOR, name_step(VELMORA).source // SECTOR
    lengths = {name: sectors for name, _, sectors in tables.destination}
    ordered = sorted((sector, name) for name, sector in tables.source)
    visible = {}
    for index, (sector, name) in enumerate(ordered):
        # The European file that the US layout lacks fills the sectors up to the next file.
        length = lengths.get(name, ordered[index + 1][0] - sector if index + 1 < len(ordered) else 1)
        visible[name] = (base + sector, length)
    us = write_image(folder, "velmora_us.iso", {name: (area + sector, sectors) for name, sector, sectors in tables.destination},
                     releases.VELMORA_US["size"])
    eu = write_image(folder, "velmora_eu.iso", visible, releases.VELMORA_EU["size"])
    stamp(us, releases.identity_stamps(releases.VELMORA_US))
    stamp(eu, releases.identity_stamps(releases.VELMORA_EU))
    return us, eu


def run(program, arguments, folder):
    started = time.monotonic()
    done = subprocess.run([program] + arguments, cwd=folder, capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr, time.monotonic() - started


def rows_of(folder, game):
    """The rows of a data folder's tables, without their comments."""
    layout = ELVANE if game == "elvane" else VELMORA
    return (reader.read_names(os.path.join(folder, layout.names_file)),
            [reader.read_sounds(os.path.join(folder, name)) for name in layout.sound_files])


def round_trip(program, folder, game):
    started = time.monotonic()
    us, eu = (elvane_pair if game == "elvane" else velmora_pair)(folder)
    print("%s: images written in %.1f s" % (game, time.monotonic() - started))
    committed = os.path.join(ROOT, "patchers", game, "data")
    data = os.path.join(folder, game + "_data")
    shutil.copytree(committed, data)

    code, output, seconds = run(program, [game, us, eu, "--out", data], folder)
    print("%s: frlayout wrote the tables in %.1f s" % (game, seconds))
    if code != 0:
        raise Failure("frlayout %s failed:\n%s" % (game, output))
    if "WARNING" not in output or "another revision" not in output:
        raise Failure("frlayout %s did not warn that the discs' CRC32 are not the published ones:\n%s" % (game, output))
    if rows_of(data, game) != rows_of(committed, game):
        raise Failure("the tables frlayout %s wrote are not the committed ones" % game)
    if sorted(os.listdir(data)) != sorted(os.listdir(committed)):
        raise Failure("the data folder holds %s" % sorted(os.listdir(data)))
    with open(os.path.join(data, "README.md")) as written, open(os.path.join(committed, "README.md")) as kept:
        if written.read() != kept.read():
            raise Failure("the data folder's README changed")

    code, output, seconds = run(program, ["check", game, us, eu], folder)
    print("%s: frlayout check in %.1f s" % (game, seconds))
    if code != 0 or "are those of these two discs" not in output:
        raise Failure("frlayout check %s:\n%s" % (game, output))

    if game == "elvane":
        # One header more inside a stream of S3's European run: the run holds one stream more.
        step = [step for step in ELVANE.plan if step.kind == "sound"][2]
        streams = plan.step_streams(step, ELVANE.tables())
        inside = next(stream for stream in streams[10:] if stream.length >= 3 * SECTOR)
        stamp(eu, {step.source + inside.start + SECTOR: plan.header("full")})
        before = {name: open(os.path.join(data, name), "rb").read() for name in os.listdir(data)}
        code, output, seconds = run(program, [game, us, eu, "--out", data], folder)
        print("%s: a refused run in %.1f s" % (game, seconds))
        told = "S3: the US run holds 1000 streams, the European run 1001"
        if code != 1 or told not in output or "nothing was written" not in output:
            raise Failure("frlayout on a European run with a stream more:\n%s" % output)
        after = {name: open(os.path.join(data, name), "rb").read() for name in os.listdir(data)}
        if after != before:
            raise Failure("a refused run changed the data folder")
    for image in (us, eu):
        os.remove(image)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("games", nargs="*", default=["elvane", "velmora"])
    parser.add_argument("--program", required=True)
    parser.add_argument("--scratch", required=True)
    options = parser.parse_args()
    for tool in ("genisoimage", "xorriso", "fallocate"):
        if not shutil.which(tool):
            print("SKIPPED: %s is not installed (bash tools/setup.sh installs it)" % tool)
            return SKIPPED
    folder = os.path.join(os.path.abspath(options.scratch), "frlayout_full_size")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    if shutil.disk_usage(folder).free < DISK_NEEDED:
        print("SKIPPED: %d bytes free in %s, %d needed" % (shutil.disk_usage(folder).free, folder, DISK_NEEDED))
        return SKIPPED
    try:
        for game in options.games:
            round_trip(os.path.abspath(options.program), folder, game)
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
