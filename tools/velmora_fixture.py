#!/usr/bin/env python3
"""The Velmora fixture: a European image, the rebuilt image it must give, the US and French images
and the two deltas, all full-size and sparse.

The European image carries stamped sectors (the first and last sector of every range the rebuild
reads or skips, and one every 16 MiB). The rebuilt image that the patcher must write is worked out
here from the same name table file the patcher builds in, and the rebuild plan written out below
from the published layout, not from the patcher's code. The US image is that rebuilt image with
changes (the pre-patch delta makes it); the French image is the US image with other changes and
786432 bytes more.

velmora_fixture.py ROOT      makes (or finds) the fixture below ROOT and prints its folder.
"""

import hashlib
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import discimage  # noqa: E402
import fixtures  # noqa: E402
import rebuildlayout  # noqa: E402
import releases  # noqa: E402

NAME = "velmora"
# Bumped when the builder changes; a change of the name table file counts as well.
BUILDER = 2
NAMES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "patchers", "velmora", "data", "names.txt")
MiB = 2 ** 20


def plan(table):
    """The 7 steps of the Velmora rebuild."""
    return [
        ("zeros", 663552),
        ("copy", 667648, 11206656),
        ("copy", 11915264, 1065783296),
        ("names", 526220, 756373504, table),
        ("copy", 1834100736, 63442944),
        ("copy", 2102302720, 883486720),
        ("zeros", 21002240),
    ]


def version():
    """What the fixture is made from: this builder and the name table file."""
    with open(NAMES, "rb") as table:
        return "%d-%s" % (BUILDER, hashlib.sha256(table.read()).hexdigest())


def changed(sectors, label, size, every, first):
    """A copy of `sectors` with a 4 KiB stamp every `every` bytes and one 1 MiB block."""
    result = dict(sectors)
    for offset in range(first, size, every):
        rebuildlayout.overlay(result, offset, discimage.sector_stamp(label, offset, 4096))
    rebuildlayout.overlay(result, size // 3, discimage.sector_stamp(label + "-block", 0, MiB))
    return result


@fixtures.fixture(NAME)
def build(folder):
    table = rebuildlayout.read_name_table(NAMES)
    steps = plan(table)
    eu_size, us_size = releases.VELMORA_EU["size"], releases.VELMORA_US["size"]
    french_size = releases.VELMORA_FR_SIZE

    reads, rebuilt_size = rebuildlayout.plan_reads(steps)
    if rebuilt_size != us_size:
        raise ValueError("the plan writes %d bytes, not %d" % (rebuilt_size, us_size))
    european = {offset: discimage.sector_stamp("velmora-eu", offset)
                for offset in rebuildlayout.sample_offsets(reads, eu_size, 16 * MiB)}
    rebuildlayout.overlay(european, releases.VELMORA_EU["boot_offset"], releases.VELMORA_EU["boot"])
    rebuilt, _ = rebuildlayout.expected_image(steps, european)

    us = changed(rebuilt, "velmora-us", us_size, 89 * MiB, 5 * MiB)
    rebuildlayout.overlay(us, releases.VELMORA_US["boot_offset"], releases.VELMORA_US["boot"])
    french = changed(us, "velmora-fr", us_size, 97 * MiB, 7 * MiB)
    for offset in range(us_size, french_size, 64 * 1024):  # the French image's own tail
        rebuildlayout.overlay(french, offset, discimage.sector_stamp("velmora-fr-tail", offset))

    paths = {}
    for name, size, sectors in (("eu.iso", eu_size, european), ("rebuilt.iso", us_size, rebuilt),
                                ("us.iso", us_size, us), ("fr.iso", french_size, french)):
        paths[name] = os.path.join(folder, name)
        discimage.make_sparse(paths[name], size, sectors)
    # The player's images carry their release's published CRC32; the rebuild never reads the
    # European image's last sector, where it is forged (its plan ends in zeros).
    discimage.forge_crc32(paths["eu.iso"], releases.VELMORA_EU["crc32"])
    discimage.forge_crc32(paths["us.iso"], releases.VELMORA_US["crc32"])
    prepatch = os.path.join(folder, "VL1_Prepatch.xdelta")
    translation = os.path.join(folder, "VL1_Patch_v1.xdelta")
    discimage.encode_delta(paths["rebuilt.iso"], paths["us.iso"], prepatch)
    discimage.encode_delta(paths["us.iso"], paths["fr.iso"], translation)

    facts = {"made_from": version(),
             "european": "eu.iso", "rebuilt": "rebuilt.iso", "us": "us.iso",
             "prepatch": "VL1_Prepatch.xdelta", "translation": "VL1_Patch_v1.xdelta"}
    for name in ("eu.iso", "rebuilt.iso", "us.iso", "fr.iso"):
        facts[name[:-4] + "_sha256"] = discimage.file_sha256(paths[name])
    # The French image the decoder alone makes: what the patcher's output must equal.
    facts["french_sha256"] = discimage.decoded_sha256(paths["us.iso"], translation)
    if facts["french_sha256"] != facts["fr_sha256"]:
        raise RuntimeError("xdelta3 does not give back the French image it was made from")
    os.remove(paths["fr.iso"])
    return facts


build.version = version  # for a fixture cache that asks its builders what they are made from


def get(root):
    """The fixture folder below `root`, made again when the name table or this builder changed."""
    os.makedirs(root, exist_ok=True)
    folder = fixtures.get(NAME, root)
    if fixtures.facts(folder).get("made_from") != version():
        shutil.rmtree(folder)
        folder = fixtures.get(NAME, root)
    return folder


if __name__ == "__main__":
    print(get(sys.argv[1]))
