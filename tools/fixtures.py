"""Full-size fixtures shared by the scenarios, made once into a cache folder and reused.

A fixture is a folder of files (sparse images, deltas, expected hashes) made by a builder
registered with @fixture. `get(name, root)` returns the folder, building it first when missing.
Builders are deterministic, so a cached fixture equals a new one.
"""

import json
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import discimage  # noqa: E402
import releases  # noqa: E402

BUILDERS = {}
# Bumped when a builder changes, so that stale caches are made again.
FORMAT = 3


def fixture(name):
    def register(builder):
        BUILDERS[name] = builder
        return builder
    return register


def get(name, root):
    builder = BUILDERS[name]
    # A builder may also say which version of its inputs it makes (its data tables, say).
    version = builder.version() if hasattr(builder, "version") else None
    folder = os.path.join(root, name)
    done = os.path.join(folder, "fixture.json")
    if os.path.exists(done):
        with open(done) as record:
            recorded = json.load(record)
            if recorded.get("format") == FORMAT and recorded.get("version") == version:
                return folder
    shutil.rmtree(folder, ignore_errors=True)
    building = folder + ".building"
    shutil.rmtree(building, ignore_errors=True)
    os.makedirs(building)
    facts = builder(building) or {}
    facts["format"] = FORMAT
    facts["version"] = version
    with open(os.path.join(building, "fixture.json"), "w") as record:
        json.dump(facts, record, indent=1)
    os.rename(building, folder)
    return folder


def facts(folder):
    with open(os.path.join(folder, "fixture.json")) as record:
        return json.load(record)


def regular_stamps(label, size, every, skip=()):
    """One stamped sector every `every` bytes, plus the first and last sector."""
    offsets = set(range(0, size, every)) | {size - discimage.SECTOR}
    return {offset: discimage.sector_stamp(label, offset) for offset in offsets if offset not in skip}


def french_from(source, target, label, size):
    """A French image: the source with sectors rewritten here and there and one larger new block."""
    discimage.copy_sparse(source, target)
    for offset in range(7 * 2 ** 20, size, 97 * 2 ** 20):
        discimage.patch_bytes(target, offset, discimage.sector_stamp(label, offset, 4096))
    discimage.patch_bytes(target, size // 3, discimage.sector_stamp(label + "-block", 0, 2 ** 20))
    discimage.patch_bytes(target, size - discimage.SECTOR, discimage.sector_stamp(label + "-end", 0))


@fixture("elvane-us")
def elvane_us(folder):
    """A US Elvane image with the published CRC32, its French image and the US delta between them."""
    release = releases.ELVANE_US
    us = os.path.join(folder, "us.iso")
    stamps = regular_stamps("elvane-us", release["size"], 48 * 2 ** 20)
    stamps.update(releases.identity_stamps(release))
    discimage.make_sparse(us, release["size"], stamps)
    discimage.forge_crc32(us, release["crc32"])
    french = os.path.join(folder, "fr.iso")
    french_from(us, french, "elvane-fr", release["size"])
    delta = os.path.join(folder, "EV1_Patch_US-FR_1.xdelta")
    discimage.encode_delta(us, french, delta)
    os.remove(french)
    return {"image": "us.iso", "delta": "EV1_Patch_US-FR_1.xdelta",
            "image_sha256": discimage.file_sha256(us),
            "french_sha256": discimage.decoded_sha256(us, delta),
            "french_size": release["size"]}


# The European Elvane fixture lives in a module of its own.
import fixture_elvane_eu  # noqa: E402

BUILDERS["elvane-eu"] = fixture_elvane_eu.build


if __name__ == "__main__":
    # make a fixture by hand: fixtures.py NAME ROOT
    print(get(sys.argv[1], sys.argv[2]))
