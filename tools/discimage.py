"""Sparse disc images for the scenarios: stamped sectors in a file of holes, hashes, deltas."""

import hashlib
import os
import random
import shutil
import struct
import subprocess
import zlib

SECTOR = 2048
CRC32_POLYNOMIAL = 0xEDB88320  # zlib's, bit-reversed


def sector_stamp(label, offset, length=SECTOR):
    """Deterministic bytes that name where they were meant to land: a label, the offset, noise."""
    head = ("%s@%d;" % (label, offset)).encode()
    noise = random.Random("%s/%d" % (label, offset)).randbytes(length)
    return (head + noise)[:length]


def make_sparse(path, size, stamps):
    """Writes a sparse file of `size` bytes holding `stamps` ({offset: bytes}) and zeros elsewhere."""
    with open(path, "wb") as image:
        image.truncate(size)
        for offset in sorted(stamps):
            data = stamps[offset]
            if offset + len(data) > size:
                raise ValueError("stamp at %d runs past the end of %s" % (offset, path))
            image.seek(offset)
            image.write(data)


def patch_bytes(path, offset, data):
    with open(path, "r+b") as image:
        image.seek(offset)
        image.write(data)


def read_bytes(path, offset, length):
    with open(path, "rb") as image:
        image.seek(offset)
        return image.read(length)


def forge_crc32(path, crc):
    """Rewrites the last four bytes of the image at `path` (in its last sector, which no program
    reads for recognition) so that the CRC32 of the whole image is `crc`, as a release's published
    value. Returns the four bytes written."""
    size = os.path.getsize(path)
    state = 0
    with open(path, "rb") as image:
        while image.tell() < size - 4:
            state = zlib.crc32(image.read(min(1 << 24, size - 4 - image.tell())), state)
    # Four bytes X take the register r (the state before its final inversion) to g(r ^ X), where g
    # shifts 32 zero bits through it. Run g backwards from the wanted register to find r ^ X.
    register = crc ^ 0xFFFFFFFF
    for _ in range(32):
        register = ((register ^ CRC32_POLYNOMIAL) << 1 | 1) if register & 0x80000000 else register << 1
        register &= 0xFFFFFFFF
    data = struct.pack("<I", register ^ state ^ 0xFFFFFFFF)
    patch_bytes(path, size - 4, data)
    return data


def file_crc32(path):
    crc = 0
    with open(path, "rb") as data:
        while True:
            block = data.read(1 << 24)
            if not block:
                return crc
            crc = zlib.crc32(block, crc)


def copy_sparse(source, target):
    subprocess.run(["cp", "--sparse=always", source, target], check=True)


def file_sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as data:
        while True:
            block = data.read(1 << 24)
            if not block:
                return digest.hexdigest()
            digest.update(block)


def stream_sha256(command):
    """sha256 of what `command` writes to its standard output."""
    digest = hashlib.sha256()
    with subprocess.Popen(command, stdout=subprocess.PIPE) as process:
        while True:
            block = process.stdout.read(1 << 24)
            if not block:
                break
            digest.update(block)
    if process.returncode != 0:
        raise RuntimeError("%s failed with %d" % (" ".join(command), process.returncode))
    return digest.hexdigest()


def xdelta3():
    found = shutil.which("xdelta3")
    if not found:
        raise FileNotFoundError("xdelta3 is not installed")
    return found


def encode_delta(source, target, delta):
    """The delta from `source` to `target`. Its sections are compressed with xdelta3's own DJW
    coder, not LZMA, so that the Windows decoder of the wine scenarios (built without LZMA) reads
    it as well."""
    subprocess.run([xdelta3(), "-e", "-f", "-S", "djw", "-s", source, target, delta], check=True)


def decoded_sha256(source, delta):
    """sha256 of the image that the decoder alone makes from `source` and `delta`."""
    return stream_sha256([xdelta3(), "-d", "-c", "-s", source, delta])


def free_bytes(path):
    stats = os.statvfs(path)
    return stats.f_bavail * stats.f_frsize
