#!/usr/bin/env python3
"""Writes the release archives from the built programs (tools/package.sh calls it after the builds).

make_release.py --version V --windows-programs DIR --linux-programs DIR --dist DIR --epoch SECONDS
                [--with-delta DIR] [--contact TEXT]

Each archive holds one folder named after it: the three programs, the player's guide
LISEZMOI.txt, with --with-delta the team's .xdelta files and the platform's decoder found in that
folder, and SHA256SUMS over all of them. The guide is kept in UTF-8; the Windows copy gets a
byte-order mark, by which every Notepad reads it as UTF-8 whatever the system's ANSI code page,
and "\r\n" line ends. The guide's source marks the lines that depend on the team's contact: a line
that starts with @WITH_CONTACT@ is kept, with @CONTACT@ replaced by --contact's text, only when
there is one; a line that starts with @WITHOUT_CONTACT@ only when there is none. Entries are in
name order and dated `--epoch`, so the same programs give the same archives.
"""

import argparse
import gzip
import hashlib
import io
import os
import sys
import tarfile
import time
import zipfile

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
GUIDE = os.path.join(SOURCE_DIR, "resources", "LISEZMOI.txt")
PROGRAMS = ("frpatch_elvane", "frpatch_velmora", "modetoggle")
UTF8_BOM = b"\xef\xbb\xbf"
WITH_CONTACT = "@WITH_CONTACT@"
WITHOUT_CONTACT = "@WITHOUT_CONTACT@"

PLATFORMS = {
    "windows-x64": {"archive": "zip", "program_suffix": ".exe", "decoder": "xdelta.exe", "newline": "\r\n", "bom": True},
    "linux-x86_64": {"archive": "tar.gz", "program_suffix": "", "decoder": "xdelta3", "newline": "\n", "bom": False},
}


def archive_name(version, platform):
    """The archive's file name without its extension, also the name of the folder it holds."""
    return "frpatch-%s-%s" % (version, platform)


def with_contact(text, contact):
    """The guide with the lines of the team's contact (`contact`, or None: the neutral sentence)."""
    lines = []
    for line in text.split("\n"):
        if line.startswith(WITH_CONTACT):
            if contact:
                lines.append(line[len(WITH_CONTACT):].replace("@CONTACT@", contact))
        elif line.startswith(WITHOUT_CONTACT):
            if not contact:
                lines.append(line[len(WITHOUT_CONTACT):])
        else:
            lines.append(line)
    return "\n".join(lines)


def guide_text(version, platform, contact=None):
    with open(GUIDE, encoding="utf-8") as guide:
        text = guide.read().replace("\r\n", "\n").replace("@VERSION@", version)
    data = with_contact(text, contact).replace("\n", platform["newline"]).encode("utf-8")
    return UTF8_BOM + data if platform["bom"] else data


def delta_files(folder, platform):
    """(name, path, executable) of the team's delta files and the platform's decoder in `folder`."""
    names = sorted(os.listdir(folder))
    found = [(name, os.path.join(folder, name), False) for name in names if name.lower().endswith(".xdelta")]
    if not found:
        sys.exit("make_release: no .xdelta file in %s" % folder)
    if platform["decoder"] in names:
        found.append((platform["decoder"], os.path.join(folder, platform["decoder"]), True))
    else:
        print("note: no %s in %s; players bring their own decoder" % (platform["decoder"], folder))
    return found


def members(version, platform, programs_dir, delta_dir, contact):
    """{name: (bytes, executable)} of everything the archive's folder holds, SHA256SUMS included."""
    content = {}
    for program in PROGRAMS:
        name = program + platform["program_suffix"]
        with open(os.path.join(programs_dir, name), "rb") as built:
            content[name] = (built.read(), True)
    content["LISEZMOI.txt"] = (guide_text(version, platform, contact), False)
    if delta_dir:
        for name, path, executable in delta_files(delta_dir, platform):
            with open(path, "rb") as delta:
                content[name] = (delta.read(), executable)
    # The form `sha256sum -c` reads: the hash, two spaces, the name.
    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name) for name, (data, _) in sorted(content.items()))
    content["SHA256SUMS"] = (sums.encode("ascii"), False)
    return content


def write_zip(path, folder, content, epoch):
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # a zip date starts in 1980
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        entry = zipfile.ZipInfo(folder + "/", stamp)
        entry.external_attr = (0o40755 << 16) | 0x10  # a directory, for Unix and for Windows
        archive.writestr(entry, b"")
        for name, (data, executable) in sorted(content.items()):
            entry = zipfile.ZipInfo(folder + "/" + name, stamp)
            entry.external_attr = (0o100755 if executable else 0o100644) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, data)


def tar_entry(name, epoch, mode, kind=tarfile.REGTYPE, size=0):
    entry = tarfile.TarInfo(name)
    entry.type, entry.mode, entry.size, entry.mtime = kind, mode, size, epoch
    entry.uid = entry.gid = 0
    entry.uname = entry.gname = "root"
    return entry


def write_tar_gz(path, folder, content, epoch):
    with open(path, "wb") as raw, gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=epoch) as packed, \
            tarfile.open(fileobj=packed, mode="w", format=tarfile.PAX_FORMAT) as archive:
        archive.addfile(tar_entry(folder, epoch, 0o755, tarfile.DIRTYPE))
        for name, (data, executable) in sorted(content.items()):
            entry = tar_entry(folder + "/" + name, epoch, 0o755 if executable else 0o644, size=len(data))
            archive.addfile(entry, io.BytesIO(data))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--windows-programs", required=True)
    parser.add_argument("--linux-programs", required=True)
    parser.add_argument("--dist", required=True)
    parser.add_argument("--epoch", type=int, required=True, help="the date of every entry, in seconds since 1970")
    parser.add_argument("--with-delta", help="folder of the team's .xdelta files and decoders")
    parser.add_argument("--contact", help="how players reach the team, one line put into the guide")
    options = parser.parse_args()
    # The contact goes into one line of the guide, read in Notepad and a terminal alike.
    if options.contact is not None and (not options.contact.strip() or not options.contact.isprintable()):
        parser.error("--contact takes one line of printable text")
    os.makedirs(options.dist, exist_ok=True)
    writers = {"zip": write_zip, "tar.gz": write_tar_gz}
    programs = {"windows-x64": options.windows_programs, "linux-x86_64": options.linux_programs}
    for key, platform in PLATFORMS.items():
        folder = archive_name(options.version, key)
        path = os.path.join(options.dist, folder + "." + platform["archive"])
        content = members(options.version, platform, programs[key], options.with_delta, options.contact)
        writers[platform["archive"]](path + ".part", folder, content, options.epoch)
        os.replace(path + ".part", path)
        with open(path, "rb") as archive:
            digest = hashlib.sha256(archive.read()).hexdigest()
        print("%s  %d bytes  sha256 %s" % (path, os.path.getsize(path), digest))


if __name__ == "__main__":
    main()
