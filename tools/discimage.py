"""Sparse disc images for the scenarios: stamped sectors in a file of holes, hashes, deltas."""

import hashlib
import os
import random
import shutil
import subprocess

SECTOR = 2048


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
