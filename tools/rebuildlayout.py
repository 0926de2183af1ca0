"""The expected result of a European-to-US rebuild, worked out on stamped sectors.

Written apart from the patchers' own rebuild code, so that the scenarios can tell whether that code
put every sector where the plan and its tables say. A plan is a list of steps:
    ("zeros", LENGTH)
    ("copy", SOURCE_OFFSET, LENGTH)
    ("names", BASE_SECTOR, LENGTH, TABLE)      TABLE from read_name_table()
A source image is described by its stamped sectors, {offset: 2048 bytes}, zeros elsewhere; the
expected image comes out the same way. Sound runs are not modelled here.
"""

import bisect

SECTOR = 2048


def read_name_table(path):
    """The rows of a name table file: ([(sector, sectors, name)], [(sector, name)]).

    Format: `[destination]` rows `SECTOR SECTORS NAME`, `[source]` rows `SECTOR NAME`, `#` comments.
    """
    destination, source, current = [], [], None
    with open(path, encoding="ascii") as lines:
        for line in lines:
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("["):
                current = {"[destination]": destination, "[source]": source}[line.strip()]
                continue
            if current is destination:
                sector, sectors, name = line.split(None, 2)
                destination.append((int(sector), int(sectors), name))
            else:
                sector, name = line.split(None, 1)
                source.append((int(sector), name))
    return destination, source


def name_table_reads(base_sector, table):
    """(source offset, length, offset in the area) of every file that the table copies.

    Gaps between destination rows and rows without a source are zeros and read nothing.
    """
    destination, source = table
    first = {}
    for sector, name in source:
        first.setdefault(name, sector)  # the first row of a name is the one taken
    reads = []
    for sector, sectors, name in destination:
        if name in first:
            reads.append(((base_sector + first[name]) * SECTOR, sectors * SECTOR, sector * SECTOR))
    return reads


def plan_reads(plan):
    """(source offset, length, target offset) of every range the plan copies, and the target size."""
    reads, target = [], 0
    for step in plan:
        kind = step[0]
        if kind == "zeros":
            target += step[1]
        elif kind == "copy":
            reads.append((step[1], step[2], target))
            target += step[2]
        elif kind == "names":
            _, base_sector, length, table = step
            reads += [(start, size, target + offset) for start, size, offset in name_table_reads(base_sector, table)]
            target += length
        else:
            raise ValueError("unknown step %r" % (kind,))
    return reads, target


def unread_ranges(reads, source_size):
    """The ranges of the source that no step reads: their bytes must not reach the target."""
    gaps, position = [], 0
    for start, length, _ in sorted(reads):
        if start > position:
            gaps.append((position, start - position))
        position = max(position, start + length)
    if position < source_size:
        gaps.append((position, source_size - position))
    return gaps


def sample_offsets(reads, source_size, every):
    """Sectors worth stamping: the first and last of every range read and of every range left
    unread, and one every `every` bytes."""
    offsets = set(range(0, source_size, every))
    for start, length in [(start, length) for start, length, _ in reads] + unread_ranges(reads, source_size):
        offsets.add(start)
        offsets.add(start + length - SECTOR)
    return sorted(offset - offset % SECTOR for offset in offsets)


def expected_image(plan, source_sectors):
    """The stamped sectors of the rebuilt image, and its size."""
    reads, size = plan_reads(plan)
    keys = sorted(source_sectors)
    target = {}
    for start, length, at in reads:
        for key in keys[bisect.bisect_left(keys, start):bisect.bisect_left(keys, start + length)]:
            target[at + key - start] = source_sectors[key]
    return target, size


def overlay(sectors, offset, data):
    """Writes `data` at byte `offset` into a {sector offset: bytes} image, sector by sector."""
    while data:
        base = offset - offset % SECTOR
        inside = offset - base
        piece = data[:SECTOR - inside]
        old = sectors.get(base, bytes(SECTOR))
        sectors[base] = old[:inside] + piece + old[inside + len(piece):]
        offset += len(piece)
        data = data[len(piece):]
