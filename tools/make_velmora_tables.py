#!/usr/bin/env python3
"""Writes the stand-in Velmora name table (patchers/velmora/data/names.txt), the same on every run.

make_velmora_tables.py [OUTPUT]     writes the rows (to the data folder unless told otherwise)
make_velmora_tables.py --check      exit 1 when the committed rows differ from a new run, 77 when
                                    they are no longer the stand-ins (a release's rows replaced them)

The real rows come from the file systems of a retail US and a retail European image, which we do
not have. These rows keep every fact known of the two layouts, and are otherwise invented:
- 3552 destination files in US order, one after another from sector 0 (the area starts at sector
  526198 of the US image) to sector 369323, with `vpackj/v00000.afs` at 0 (25517 sectors),
  `vpackj/v07000.afs` at 25517 (23600 sectors) and `saves/kunai/obj.knb` at 369318 (5 sectors) last;
- 3553 source files (counted from sector 526220 of the European image): the same names in the same
  order and one file more, of 14 sectors, that the US layout does not have. Before that file the
  source sectors equal the destination sectors; from the next file on they are 14 higher.
Lengths and the other names come from a fixed pseudo-random sequence, so the output never changes.
"""

import filecmp
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))

from fixtures.layouts import VELMORA  # noqa: E402
from fixtures.splitmix import SplitMix  # noqa: E402

AREA_END = 369323
DESTINATION_COUNT = 3552
EXTRA_SECTORS = 14
EXTRA_NAME = "menu/langsel.tm2"  # a language choice screen: the European disc has one, the US one not
FIXED_HEAD = [("vpackj/v00000.afs", 25517), ("vpackj/v07000.afs", 23600)]
FIXED_LAST = ("saves/kunai/obj.knb", 5)

MARK = "# Velmora name table, STAND-IN rows made by tools/make_velmora_tables.py (see README.md)."
OUTPUT = os.path.join(VELMORA.data, VELMORA.names_file)


def middle_names():
    """The names between the two fixed voice packs and the last file, in US order."""
    packs = ["vpackj/v%05d.afs" % (7000 * k) for k in range(2, 10)]
    events = ["event/e%04d.evb" % k for k in range(1200)]
    maps = [name for k in range(600) for name in ("map/m%03d/area.knb" % k, "map/m%03d/tex.tm2" % k)]
    characters = ["chr/c%04d.knb" % k for k in range(800)]
    menu_count = DESTINATION_COUNT - len(FIXED_HEAD) - 1 - len(packs + events + maps + characters)
    menus = ["menu/m%03d.tm2" % k for k in range(menu_count)]
    return packs + events + menus + maps + characters


def middle_lengths(names, total, generator):
    """Sector counts for `names` adding up to `total`: voice packs large, the rest mostly small."""
    raw = []
    for name in names:
        if name.startswith("vpackj/"):
            raw.append(15000 + generator.below(15000))
        elif generator.below(10) == 0:
            raw.append(100 + generator.below(900))
        else:
            raw.append(1 + generator.below(60))
    scale = total / sum(raw)
    lengths = [max(1, int(value * scale)) for value in raw]
    index = 0
    while sum(lengths) != total:  # spread the rounding over the files, one sector each
        step = 1 if sum(lengths) < total else -1
        if lengths[index] + step >= 1:
            lengths[index] += step
        index = (index + 1) % len(lengths)
    return lengths


def build():
    generator = SplitMix(0x56454C4D4F5241)  # "VELMORA"
    names = middle_names()
    fixed = sum(length for _, length in FIXED_HEAD) + FIXED_LAST[1]
    rows = FIXED_HEAD + list(zip(names, middle_lengths(names, AREA_END - fixed, generator))) + [FIXED_LAST]
    destination, sector = [], 0
    for name, length in rows:
        destination.append((sector, length, name))
        sector += length
    assert sector == AREA_END and len(destination) == DESTINATION_COUNT
    assert len({name for _, _, name in destination}) == DESTINATION_COUNT

    # The extra file follows the menu screens, near the middle of the area.
    extra_after = max(index for index, (_, _, name) in enumerate(destination) if name.startswith("menu/"))
    source = [(sector, name) for sector, _, name in destination[:extra_after + 1]]
    extra_sector = destination[extra_after][0] + destination[extra_after][1]
    source.append((extra_sector, EXTRA_NAME))
    source += [(sector + EXTRA_SECTORS, name) for sector, _, name in destination[extra_after + 1:]]
    return destination, source


def write(path, destination, source):
    lines = [MARK,
             "# [destination]: sector sectors name, sectors from 526198 of the US image, in US order.",
             "# [source]: sector name, sectors from 526220 of the European image, in European order.",
             "[destination]"]
    lines += ["%d %d %s" % row for row in destination]
    lines += ["[source]"]
    lines += ["%d %s" % row for row in source]
    with open(path, "w", encoding="ascii", newline="\n") as output:
        output.write("\n".join(lines) + "\n")


def check():
    with open(OUTPUT, encoding="ascii") as committed:
        if committed.readline().rstrip("\n") != MARK:
            print("SKIPPED: %s holds other rows than the stand-ins" % OUTPUT)
            return 77
    with tempfile.TemporaryDirectory() as scratch:
        fresh = os.path.join(scratch, "names.txt")
        write(fresh, *build())
        if not filecmp.cmp(fresh, OUTPUT, shallow=False):
            print("FAILED: %s differs from what make_velmora_tables.py makes" % OUTPUT)
            return 1
    print("PASSED: the committed stand-in rows are what the generator makes")
    return 0


def main():
    if sys.argv[1:] == ["--check"]:
        return check()
    path = sys.argv[1] if len(sys.argv) > 1 else OUTPUT
    destination, source = build()
    write(path, destination, source)
    print("%s: %d destination rows, %d source rows" % (path, len(destination), len(source)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
