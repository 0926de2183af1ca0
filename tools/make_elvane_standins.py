#!/usr/bin/env python3
"""Makes the stand-in layout tables of the Elvane rebuild (patchers/elvane/data), deterministically.

    make_elvane_standins.py [--out FOLDER]   write the ten table files (default: the data folder)
    make_elvane_standins.py --check          exit 1 when the committed stand-ins differ from a new run

The real rows come from the file systems of a US and a European disc, which are not at hand. These
rows are invented to hold every known fact of the two layouts (row counts, the first file at
sector 366, the four gaps, the last file ending at sector 401413, the named example rows, the sound
tables' first and last offsets and their end offsets) and to lay the European files only where no
other step of the plan reads, so that each byte of the synthetic European image has one meaning.
"""

import argparse
import filecmp
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))

from fixtures import plan  # noqa: E402
from fixtures.layouts import (ELVANE, ELVANE_READ_LIMIT, ELVANE_SOUND_RUN_COUNTS, elvane_free_sectors,  # noqa: E402
                              name_step)
from fixtures.plan import SECTOR  # noqa: E402
from fixtures.splitmix import SplitMix  # noqa: E402

MARK = "# Stand-in rows made by tools/make_elvane_standins.py, not read from a disc."

FILE_COUNT = 1594
FIRST = ("res/Qobj/qobj01.tim.lzr", 366, 2)
LAST = ("modules/ezbgm.irx", 401405, 8)
AREA_END = 401413
# (first sector of the gap, its length in sectors), between files of the US area.
GAPS = [(3739, 4198), (16913, 135), (30401, 103), (57082, 235)]
# How many files each stretch of files between the gaps holds.
STRETCH_FILES = [20, 45, 60, 110, 1359]
# Fixed European rows: name and first sector from the base sector.
SOURCE_FIXED = [("fpack/RI07.fp", 0), ("modules/ezbgm.irx", 80245), ("res/Qobj/qobj01.tim.lzr", 80297)]
# Names that only a byte-for-byte, whole-name comparison tells apart, laid first in the European
# area: a comparison that ignored case or stopped at the shorter name would take the wrong file.
TWINS = [("res/Map/m012.map.lzr", "res/Map/M012.map.lzr"), ("res/Qobj/QOBJ05.tim.lzr", "res/Qobj/qobj05.tim.lzr"),
         ("res/Qobj/qobj02.tim", "res/Qobj/qobj02.tim.lzr"), ("res/Font/font.tim.lzr", "res/Font/font.tim")]

SOUND_ENDS = [74600448, 78913536, 80697344, 69957632, 13993984, 15699968, 63930368, 28602368, 13832192]
SOUND_FIRST = {0: [0, 40960, 157696, 243712, 313344], 8: [0, 591872, 620544, 649216, 677888]}
SOUND_LAST = {8: [12750848, 12890112]}
SOUND_MIN_SECTORS = 4


def file_names():
    families = [("res/Qobj/qobj%02d.tim.lzr", 1, 61), ("fpack/RI%02d.fp", 0, 40), ("fpack/EV%03d.fp", 0, 180),
                ("res/Map/m%03d.map.lzr", 0, 320), ("res/Chr/c%03d.tm2.lzr", 0, 240), ("res/Chr/c%03d.mot", 0, 240),
                ("script/ev%04d.scb", 0, 293), ("res/Eff/e%03d.eff", 0, 150), ("res/Snd/se%03d.bd", 0, 60)]
    names = [pattern % number for pattern, first, end in families for number in range(first, end)]
    names += ["modules/ez%s.irx" % module for module in ("bgm", "se", "pad", "mc", "cdvd", "mpeg")]
    names += ["res/Font/font.tim", "res/Font/font.tim.lzr", "res/Map/M012.map.lzr", "res/Qobj/QOBJ05.tim.lzr", "res/Qobj/qobj02.tim"]
    if len(names) != FILE_COUNT or len(set(names)) != FILE_COUNT:
        raise SystemExit("the name families make %d names, %d of them distinct" % (len(names), len(set(names))))
    return names


def partition(total, count, minimum, rng):
    """`count` sizes of at least `minimum` that add up to `total`."""
    free = total - count * minimum
    if free < 0:
        raise SystemExit("cannot split %d into %d parts of at least %d" % (total, count, minimum))
    cuts = sorted(rng.below(free + 1) for _ in range(count - 1))
    bounds = [0] + cuts + [free]
    return [bounds[index + 1] - bounds[index] + minimum for index in range(count)]


def destination_rows(rng):
    """US order: the fixed first and last files, the rest shuffled, the stretches between gaps filled."""
    names = [name for name in file_names() if name not in (FIRST[0], LAST[0])]
    rng.shuffle(names)
    stretches, start = [], FIRST[1]
    for gap, length in GAPS + [(AREA_END, 0)]:
        stretches.append((start, gap))
        start = gap + length
    rows, queue = [], [FIRST[0]] + names + [LAST[0]]
    for index, ((start, end), count) in enumerate(zip(stretches, STRETCH_FILES)):
        fixed_head = FIRST[2] if index == 0 else 0
        fixed_tail = LAST[2] if index == len(stretches) - 1 else 0
        loose = count - (1 if fixed_head else 0) - (1 if fixed_tail else 0)
        sizes = partition(end - start - fixed_head - fixed_tail, loose, 1, rng)
        sizes = ([fixed_head] if fixed_head else []) + sizes + ([fixed_tail] if fixed_tail else [])
        for size in sizes:
            rows.append((start, size, queue.pop(0)))
            start += size
    return rows


def source_rows(destination, rng):
    """European order: the fixed and twin rows first, then every other file where no step reads."""
    size = {name: sectors for _, sectors, name in destination}
    placed = {}
    fixed = dict(SOURCE_FIXED)
    lead = [SOURCE_FIXED[0][0]] + [name for pair in TWINS for name in pair]
    rest = [name for name in size if name not in fixed and name not in lead]
    rng.shuffle(rest)
    cursor = 0
    for name in lead:
        placed[name] = cursor
        cursor += size[name]
    # Files before and between the two fixed rows near sector 80245, padded up to them.
    for name in fixed:
        if name in placed:
            continue
        while rest and cursor + size[rest[0]] <= fixed[name]:
            placed[rest[0]] = cursor
            cursor += size[rest.pop(0)]
        if cursor > fixed[name]:
            raise SystemExit("%s cannot start at %d" % (name, fixed[name]))
        placed[name] = fixed[name]
        cursor = fixed[name] + size[name]
    regions = [(start, end) for start, end in elvane_free_sectors() if end - start >= 1000]
    regions[0] = (cursor, regions[0][1])
    for start, end in regions:
        waiting = []
        for name in rest:
            if start + size[name] <= end:
                placed[name] = start
                start += size[name]
            else:
                waiting.append(name)
        rest = waiting
    if rest:
        raise SystemExit("%d files find no room in the European image" % len(rest))
    return sorted(((sector, name) for name, sector in placed.items()), key=lambda row: row[0])


def sound_offsets(run, rng):
    """Byte offsets of a run: the known first and last ones, random slots of 4 sectors or more
    between them, and the run's end offset."""
    count, end = ELVANE_SOUND_RUN_COUNTS[run], SOUND_ENDS[run] // SECTOR
    first = [offset // SECTOR for offset in SOUND_FIRST.get(run, [0])]
    last = [offset // SECTOR for offset in SOUND_LAST.get(run, [])]
    boundary = last[0] if last else end
    sizes = partition(boundary - first[-1], count - len(first) - len(last) + 1, SOUND_MIN_SECTORS, rng)
    middle, position = [], first[-1]
    for size in sizes[:-1]:
        position += size
        middle.append(position)
    return [sector * SECTOR for sector in first + middle + last], SOUND_ENDS[run]


def write_tables(folder):
    rng = SplitMix(0xE1FA2E)
    destination = destination_rows(rng)
    source = source_rows(destination, rng)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, ELVANE.names_file), "w", encoding="ascii", newline="\n") as names:
        names.write(MARK + "\n# Elvane file area (rebuild step 49): %d files.\n\n" % len(destination))
        names.write("# US layout, in disc order: first sector from the start of the area, length in sectors, name.\n")
        names.write("[destination]\n")
        names.writelines("%d %d %s\n" % row for row in destination)
        names.write("\n# European layout, in disc order: first sector from base sector %d, name.\n"
                    % (name_step(ELVANE).source // SECTOR))
        names.write("[source]\n")
        names.writelines("%d %s\n" % row for row in source)
    for run, file_name in enumerate(ELVANE.sound_files):
        offsets, end = sound_offsets(run, rng)
        with open(os.path.join(folder, file_name), "w", encoding="ascii", newline="\n") as sounds:
            sounds.write(MARK + "\n# Sound run S%d (rebuild step %d): %d streams, byte offsets in the US run.\n"
                         % (run + 1, 50 + run, len(offsets)))
            sounds.writelines("%d\n" % offset for offset in offsets)
            sounds.write("end %d\n" % end)


def check_layout(folder):
    """What the known facts leave open but a rebuild needs: the pieces fit and add up."""
    tables = ELVANE.tables(folder)
    if [len(offsets) for offsets, _ in tables.sounds] != list(ELVANE_SOUND_RUN_COUNTS):
        raise SystemExit("the sound tables hold the wrong number of streams")
    for piece in plan.pieces(ELVANE, tables):
        if piece.source is not None and piece.source + piece.length > ELVANE_READ_LIMIT:
            raise SystemExit("a piece reads past byte %d" % ELVANE_READ_LIMIT)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", default=ELVANE.data)
    parser.add_argument("--check", action="store_true")
    options = parser.parse_args()
    if not options.check:
        write_tables(options.out)
        check_layout(options.out)
        return 0
    with open(os.path.join(ELVANE.data, ELVANE.names_file), encoding="ascii") as committed:
        if committed.readline().rstrip("\n") != MARK:
            print("SKIPPED: the data folder holds real tables, not stand-ins made here")
            return 77
    with tempfile.TemporaryDirectory() as fresh:
        write_tables(fresh)
        check_layout(fresh)
        differing = [name for name in (ELVANE.names_file,) + ELVANE.sound_files
                     if not filecmp.cmp(os.path.join(fresh, name), os.path.join(ELVANE.data, name), shallow=False)]
    if differing:
        print("the committed stand-ins differ from a new run: %s" % ", ".join(differing))
        return 1
    print("the committed stand-ins are what make_elvane_standins.py makes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
