"""The European Elvane fixture: a synthetic European image, the temporary image that its rebuild
must write (worked out here from the plan and the tables, never by the patcher's code), and the
European delta from that temporary image to a synthetic French image.

The European image is sparse. Stamped sectors (bytes that name their offset) sit on the first and
last sector of every range the plan reads (each copy, each chunk boundary of a copy, each file of
the name table, each sound stream and slot) and every 4 MiB in between; each sound stream begins
with a stream header, some carrying only one of the four header marks. The expected temporary
image holds the same stamps where the plan puts them, and zeros elsewhere.
"""

import bisect
import hashlib
import os
import struct

import discimage
import elvane_layout as layout
import releases
from elvane_layout import SECTOR

LABEL = "elvane-eu"
SAMPLE_EVERY = 4 * 2 ** 20
COPY_CHUNK = 20971520
DELTA = "EV1_Patch_EU-FR_1.xdelta"


def version():
    """Changes whenever the tables or the code that makes this fixture change: a cached fixture
    made from other tables would no longer match the patcher that is built."""
    digest = hashlib.sha256()
    here = os.path.dirname(os.path.abspath(__file__))
    sources = [os.path.join(here, name) for name in ("fixture_elvane_eu.py", "elvane_layout.py", "discimage.py")]
    for path in layout.Tables.files() + sources:
        with open(path, "rb") as data:
            digest.update(data.read())
    return digest.hexdigest()


def european_stamps(tables):
    """{sector offset: 2048 bytes} of the European image, and the offsets of the stream headers."""
    stamps, headers = {}, {}

    def mark(offset):
        if offset not in stamps:
            stamps[offset] = discimage.sector_stamp(LABEL, offset)

    for offset in range(0, layout.EU_SIZE, SAMPLE_EVERY):
        mark(offset)
    mark(layout.EU_SIZE - SECTOR)
    for piece in layout.pieces(tables):
        if piece.source is not None:
            mark(piece.source)
            mark(piece.source + piece.length - SECTOR)
    for step in layout.PLAN:
        if step.kind == "copy":
            for boundary in range(step.source + COPY_CHUNK, step.source + step.written, COPY_CHUNK):
                mark(boundary - SECTOR)
                mark(boundary)
        if step.kind == "sound":
            mark(step.source + step.read - SECTOR)
            offsets, end = tables.sounds[step.run]
            for stream in layout.sound_streams(offsets, end, step.read, step.run):
                start = step.source + stream.start
                mark(start + stream.length - SECTOR)
                headers[start] = stream.header
    for start, kind in headers.items():
        body = stamps.get(start) or discimage.sector_stamp(LABEL, start)
        stamps[start] = struct.pack("<4I", *layout.HEADER_WORDS[kind]) + body[16:]
    # The boot path that makes the image pass for the European release.
    release = releases.ELVANE_EU
    offset = release["boot_offset"]
    base = offset - offset % SECTOR
    sector = bytearray(stamps.get(base, bytes(SECTOR)))
    sector[offset - base:offset - base + len(release["boot"])] = release["boot"]
    stamps[base] = bytes(sector)
    return stamps, headers


def check_sound_runs(tables, stamps, headers):
    """The stream starts that the header scan finds in this image are the ones laid out: only the
    intended sectors look like headers, and every slot lies inside the run read."""
    for step in layout.PLAN:
        if step.kind != "sound":
            continue
        for offset in range(step.source, step.source + step.read, SECTOR):
            looks = offset in stamps and layout.is_header(stamps[offset])
            if looks != (offset in headers):
                raise ValueError("sector %d %s a stream header" % (offset, "looks like" if looks else "lacks"))
        offsets, end = tables.sounds[step.run]
        streams = layout.sound_streams(offsets, end, step.read, step.run)
        position = 0
        for index, stream in enumerate(streams):
            if position != stream.start or position + stream.slot > step.read:
                raise ValueError("S%d stream %d: the scan would find it at %d" % (step.run + 1, index, position))
            if index + 1 == len(streams):
                break
            position += SECTOR
            while position < step.read and step.source + position not in headers:
                position += SECTOR


def expected_stamps(tables, stamps):
    """{target offset: bytes} of the temporary image: each piece carries the stamps of its source."""
    keys = sorted(stamps)
    expected = {}
    for piece in layout.pieces(tables):
        if piece.source is None:
            continue
        first = bisect.bisect_left(keys, piece.source)
        last = bisect.bisect_left(keys, piece.source + piece.length)
        for key in keys[first:last]:
            expected[piece.target + key - piece.source] = stamps[key]
    return expected


def build(folder):
    """A European Elvane image with the published CRC32, the temporary image expected of its
    rebuild, and the delta."""
    import fixtures  # here, not at the top: fixtures imports this module to register it

    tables = layout.Tables()
    stamps, headers = european_stamps(tables)
    check_sound_runs(tables, stamps, headers)
    european = os.path.join(folder, "eu.iso")
    discimage.make_sparse(european, layout.EU_SIZE, stamps)
    # The published CRC32, forged in the last sector, which the rebuild never reads.
    discimage.forge_crc32(european, releases.ELVANE_EU["crc32"])
    expected = os.path.join(folder, "expected_temp.iso")
    discimage.make_sparse(expected, layout.US_SIZE, expected_stamps(tables, stamps))
    french = os.path.join(folder, "fr.iso")
    fixtures.french_from(expected, french, "elvane-eu-fr", layout.US_SIZE)
    delta = os.path.join(folder, DELTA)
    discimage.encode_delta(expected, french, delta)
    french_sha256 = discimage.file_sha256(french)
    os.remove(french)
    if discimage.decoded_sha256(expected, delta) != french_sha256:
        raise RuntimeError("the decoder does not make the French image from the expected temporary image")
    return {"image": "eu.iso", "delta": DELTA, "expected_temporary": "expected_temp.iso",
            "image_sha256": discimage.file_sha256(european),
            "temporary_sha256": discimage.file_sha256(expected),
            "french_sha256": french_sha256,
            "french_size": layout.US_SIZE,
            "stamps": len(stamps), "stream_headers": len(headers)}


build.version = version
