"""The European-to-US rebuild of Elvane as the fixtures see it: plan, tables, source layout, pieces.

Written apart from the patcher's own code (the plan below is written out again from the table of
steps, with each step's target offset, not read from the C++ sources), so that the temporary image
a fixture predicts and the one the patcher writes check each other.
"""

import importlib.util
import os
import struct
from collections import namedtuple

SECTOR = 2048
EU_SIZE = 2669969408
US_SIZE = 2599682048
# No read of the plan reaches past this byte of the European image.
READ_LIMIT = 2648969216
NAME_AREA_BASE_SECTOR = 7303
SOUND_RUN_COUNTS = (1001, 1000, 1000, 400, 388, 307, 942, 338, 148)

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
DATA = os.path.join(ROOT, "patchers", "elvane", "data")
NAMES_FILE = "elvane_names.txt"
SOUND_FILES = ["elvane_sound_s%d.txt" % index for index in range(1, 10)]

# kind: zeros, copy, names or sound; run: index of the sound table (sound steps).
Step = namedtuple("Step", "kind source read written target run")


def _zeros(written, target):
    return Step("zeros", 0, 0, written, target, None)


def _copy(source, written, target):
    return Step("copy", source, 0, written, target, None)


def _sound(run, source, read, written, target):
    return Step("sound", source, read, written, target, run)


PLAN = [
    _zeros(720896, 0x0),
    _copy(652064768, 61440, 0xB0000),
    _copy(775776256, 61440, 0xBF000),
    _copy(898801664, 61440, 0xCE000),
    _copy(1046181888, 24576, 0xDD000),
    _copy(1139458048, 24576, 0xE3000),
    _copy(1165774848, 18432, 0xE9000),
    _copy(1182842880, 57344, 0xED800),
    _copy(1277032448, 10240, 0xFB800),
    _zeros(2048, 0xFE000),
    _copy(755712, 13522944, 0xFE800),
    _zeros(137216, 0xDE4000),
    _zeros(253952, 0xE05800),
    _zeros(36864, 0xE43800),
    _zeros(8192, 0xE4C800),
    _zeros(45056, 0xE4E800),
    _zeros(92160, 0xE59800),
    _zeros(8192, 0xE70000),
    _copy(14653440, 26624, 0xE72000),
    _copy(14940160, 8192, 0xE78800),
    _copy(14845952, 22528, 0xE7A800),
    _copy(14868480, 10240, 0xE80000),
    _copy(14878720, 14336, 0xE82800),
    _copy(14784512, 61440, 0xE86000),
    _copy(14352384, 24576, 0xE95000),
    _zeros(22528, 0xE9B000),
    _copy(14336000, 16384, 0xEA0800),
    _copy(2060527616, 3835904, 0xEA4800),
    _copy(1290311680, 79792128, 0x124D000),
    _copy(1370103808, 84887552, 0x5E65800),
    _copy(1478567936, 84903936, 0xAF5A000),
    _copy(1587032064, 84920320, 0x10052800),
    _copy(2283456512, 3540992, 0x1514F000),
    _copy(2064363520, 65013760, 0x154AF800),
    _copy(2129377280, 69175296, 0x192B0000),
    _copy(2206416896, 69142528, 0x1D4A8800),
    _copy(2509500416, 59086848, 0x21699000),
    _copy(2569121792, 49899520, 0x24EF2800),
    _copy(2619226112, 23224320, 0x27E89000),
    _copy(2642655232, 6313984, 0x294AF000),
    _copy(652126208, 123650048, 0x29AB4800),
    _copy(775837696, 122963968, 0x310A0800),
    _copy(898863104, 147318784, 0x385E5000),
    _copy(1046206464, 93251584, 0x41263800),
    _copy(1139482624, 26292224, 0x46B52000),
    _copy(1165793280, 17049600, 0x48465000),
    _copy(1182900224, 94132224, 0x494A7800),
    _copy(1277042688, 13268992, 0x4EE6D000),
    Step("names", NAME_AREA_BASE_SECTOR * SECTOR, 0, 822093824, 0x4FB14800, None),
    _sound(0, 198512640, 76998656, 74600448, 0x80B17000),
    _sound(1, 275572736, 81262592, 78913536, 0x8523C000),
    _sound(2, 356896768, 83130368, 80697344, 0x89D7E000),
    _sound(3, 440051712, 70549504, 69957632, 0x8EA73800),
    _sound(4, 510625792, 15075328, 13993984, 0x92D2B000),
    _sound(5, 525719552, 16551936, 15699968, 0x93A83800),
    _sound(6, 542328832, 66332672, 63930368, 0x9497C800),
    _sound(7, 608681984, 29538304, 28602368, 0x98674800),
    _sound(8, 638230528, 13834240, 13832192, 0x9A1BB800),
    _copy(198451200, 61440, 0x9AEEC800),
    _copy(275511296, 61440, 0x9AEFB800),
    _copy(356835328, 61440, 0x9AF0A800),
    _zeros(24576, 0x9AF19800),
    _copy(510601216, 24576, 0x9AF1F800),
    _copy(525701120, 18432, 0x9AF25800),
    _copy(542271488, 57344, 0x9AF2A000),
    _copy(608661504, 20480, 0x9AF38000),
    _copy(638220288, 10240, 0x9AF3D000),
    _zeros(2048, 0x9AF3F800),
]


def _embed_tables():
    """The build's own parser of the table files, so that both read the format alike."""
    path = os.path.join(ROOT, "cmake", "embed_tables.py")
    found = importlib.util.spec_from_file_location("embed_tables", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


class Tables:
    """The name table (destination and source rows) and the nine sound tables of a data folder."""

    def __init__(self, folder=DATA):
        parser = _embed_tables()
        sections = parser.read_names(os.path.join(folder, NAMES_FILE))
        self.destination = [(name, sector, sectors) for name, sector, sectors in sections["destination"]]
        self.source = [(name, sector) for name, sector, _ in sections["source"]]
        self.sounds = [parser.read_sounds(os.path.join(folder, name)) for name in SOUND_FILES]

    @staticmethod
    def files(folder=DATA):
        return [os.path.join(folder, name) for name in [NAMES_FILE] + SOUND_FILES]


def other_reads():
    """Byte ranges of the European image read by every step but the name table."""
    ranges = []
    for step in PLAN:
        if step.kind == "copy":
            ranges.append((step.source, step.source + step.written))
        elif step.kind == "sound":
            ranges.append((step.source, step.source + step.read))
    return sorted(ranges)


def free_sectors():
    """Sector ranges, counted from the name area's base sector, that no other step reads."""
    free, cursor = [], NAME_AREA_BASE_SECTOR * SECTOR
    for start, end in other_reads() + [(READ_LIMIT, READ_LIMIT)]:
        if start > cursor:
            free.append((cursor // SECTOR - NAME_AREA_BASE_SECTOR, start // SECTOR - NAME_AREA_BASE_SECTOR))
        cursor = max(cursor, end)
    return free


class SplitMix:
    """A small generator whose sequence no library update can change: the layouts stay put."""

    MASK = (1 << 64) - 1

    def __init__(self, seed):
        self.state = seed & self.MASK

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & self.MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & self.MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & self.MASK
        return z ^ (z >> 31)

    def below(self, bound):
        return self.next() % bound

    def shuffle(self, items):
        for index in range(len(items) - 1, 0, -1):
            other = self.below(index + 1)
            items[index], items[other] = items[other], items[index]


# Header words of a stream start, and variants that carry only one of the four marks, so that a
# rebuild which wanted all four (AND instead of OR) would lose its place in the run.
HEADER_WORDS = {
    "full": (0x64685353, 24, 16, 48000),
    "tag": (0x64685353, 40, 17, 44100),
    "size": (0x64685354, 24, 17, 44100),
    "codec": (0x64685354, 40, 16, 44100),
    "rate": (0x64685354, 40, 17, 48000),
}
VARIANTS = {3: "tag", 6: "size", 9: "codec", 12: "rate"}


def is_header(sector):
    words = struct.unpack_from("<4I", sector)
    return words[0] == 0x64685353 or words[1] == 24 or words[2] == 16 or words[3] == 48000


class SoundStream(namedtuple("SoundStream", "start length slot target header")):
    """One stream of a run: its start and length in the European run (bytes from the run's start),
    the bytes its slot takes from there, where the slot lies in the US run, and its header kind."""


def sound_streams(offsets, end, read_length, run):
    """How the synthetic European image lays out the streams of a run.

    Each stream is at least as long as its US slot; the sectors that the European run holds beyond
    the US run are spread over the streams, so the next header lies one to several sectors past
    the end of a slot. Every 37th stream is one sector shorter than its slot, whose end then takes
    the following stream's header sector, as the rebuild does when a slot outgrows its stream.
    """
    count = len(offsets)
    slots = [(offsets[j + 1] if j + 1 < count else end) - offsets[j] for j in range(count)]
    lengths = [slot // SECTOR for slot in slots]
    spare = read_length // SECTOR - sum(lengths)
    if spare < 0:
        raise ValueError("sound run S%d writes more than it reads" % (run + 1))
    rng = SplitMix(0x5D000 + run)
    for _ in range(spare):
        lengths[rng.below(count)] += 1
    for j in range(5, count - 1, 37):
        if slots[j] >= 2 * SECTOR:
            moved = lengths[j] - slots[j] // SECTOR + 1
            lengths[j] -= moved
            lengths[j + 1] += moved
    streams, start = [], 0
    for j in range(count):
        streams.append(SoundStream(start * SECTOR, lengths[j] * SECTOR, slots[j], offsets[j],
                                   VARIANTS.get(j % 13, "full")))
        start += lengths[j]
    if start * SECTOR != read_length:
        raise ValueError("sound run S%d: streams do not fill the run" % (run + 1))
    for stream in streams:
        if stream.start + stream.slot > read_length:
            raise ValueError("sound run S%d: a slot reaches past the run" % (run + 1))
    return streams


Piece = namedtuple("Piece", "target source length")  # source None: zeros


def pieces(tables):
    """The temporary image as a list of pieces in order: European byte ranges and zero runs."""
    out, target = [], 0

    def add(source, length):
        nonlocal target
        if length:
            out.append(Piece(target, source, length))
        target += length

    for number, step in enumerate(PLAN, 1):
        if target != step.target:
            raise ValueError("step %d would begin at %#x, not %#x" % (number, target, step.target))
        begin = target
        if step.kind == "zeros":
            add(None, step.written)
        elif step.kind == "copy":
            add(step.source, step.written)
        elif step.kind == "names":
            sources = {}
            for name, sector in tables.source:
                sources.setdefault(name, sector)
            position = 0
            for name, sector, sectors in tables.destination:
                if sector < position:
                    raise ValueError("destination row %s overlaps the file before it" % name)
                add(None, (sector - position) * SECTOR)
                found = sources.get(name)
                add(None if found is None else step.source + found * SECTOR, sectors * SECTOR)
                position = sector + sectors
        else:
            offsets, end = tables.sounds[step.run]
            for stream in sound_streams(offsets, end, step.read, step.run):
                add(step.source + stream.start, stream.slot)
        if target - begin != step.written:
            raise ValueError("step %d writes %d bytes, not %d" % (number, target - begin, step.written))
    if target != US_SIZE:
        raise ValueError("the plan writes %d bytes" % target)
    return out
