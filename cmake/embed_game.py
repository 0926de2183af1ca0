#!/usr/bin/env python3
"""Turns a game's description (patchers/GAME/GAME_game.txt) into the C++ header that every program
reads it from, or prints one of its values for the build.

embed_game.py OUTPUT.h DESCRIPTION.txt PREFIX    writes the header: `<PREFIX>Releases` (US, then
                                                 European), `<PREFIX>FrenchImageSize`,
                                                 `<PREFIX>NamesFile`, `<PREFIX>SoundFiles`
embed_game.py --get KEY DESCRIPTION.txt          prints the value of KEY (for CMake)
"""

import os
import re
import sys

RELEASES = ("us", "eu")
REQUIRED = ["name", "french.size", "tables.names"] + ["%s.%s" % (release, key) for release in RELEASES
                                                      for key in ("size", "boot_offset", "boot_path", "crc32")]
KNOWN = set(REQUIRED) | {"tables.sounds"} | {"%s.%s" % (release, key) for release in RELEASES
                                            for key in ("marker_offset", "marker")}


def fail(path, number, message):
    sys.exit("%s:%d: %s" % (path, number, message))


def read(path):
    values = {}
    with open(path, encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split(None, 1)
            if len(fields) != 2 or fields[0] not in KNOWN:
                fail(path, number, "expected `key value` with a known key")
            if fields[0] in values:
                fail(path, number, "%s given twice" % fields[0])
            values[fields[0]] = fields[1].strip()
    for key in REQUIRED:
        if key not in values:
            fail(path, 0, "%s is missing" % key)
    for key, value in values.items():
        pattern = {"size": r"\d+", "offset": r"\d+", "crc32": r"[0-9A-F]{8}", "marker": r"([0-9a-fA-F]{2} ?)+"}
        for ending, form in pattern.items():
            if key.endswith(ending) and not re.fullmatch(form, value):
                fail(path, 0, "%s: %r is not of the form %s" % (key, value, form))
    return values


def c_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def header(values, source, prefix):
    lines = ["// Made at build time by cmake/embed_game.py from %s, the one place of these facts." % source,
             "#pragma once", "", "#include <cstddef>", "#include <cstdint>", "",
             '#include "patchers/common/release_signature.h"', ""]
    for release in RELEASES:
        if "%s.marker" % release in values:
            marker = ", ".join("0x%s" % byte.upper() for byte in values["%s.marker" % release].split())
            lines.append("inline constexpr unsigned char %s%sMarker[] = {%s};" % (prefix, release.capitalize(), marker))
    lines.append("")
    lines.append("// Indexed by Release: US first, then European.")
    lines.append("inline constexpr ReleaseSignature %sReleases[2] = {" % prefix)
    for release in RELEASES:
        has_marker = "%s.marker" % release in values
        lines.append("    {%su, %su, %s, %su, %s, %s, 0x%su}," % (
            values["%s.size" % release], values["%s.boot_offset" % release], c_string(values["%s.boot_path" % release]),
            values.get("%s.marker_offset" % release, "0"),
            "%s%sMarker" % (prefix, release.capitalize()) if has_marker else "nullptr",
            "sizeof %s%sMarker" % (prefix, release.capitalize()) if has_marker else "0",
            values["%s.crc32" % release]))
    lines.append("};")
    lines.append("inline constexpr uint64_t %sFrenchImageSize = %su;" % (prefix, values["french.size"]))
    lines.append("inline constexpr const char* %sDisplayName = %s;" % (prefix, c_string(values["name"])))
    lines.append("")
    lines.append("// The layout tables' files in the game's data folder.")
    lines.append("inline constexpr const char* %sNamesFile = %s;" % (prefix, c_string(values["tables.names"])))
    sounds = values.get("tables.sounds", "").split()
    lines.append("inline constexpr const char* %sSoundFiles[] = {%s};" % (
        prefix, ", ".join([c_string(name) for name in sounds] or ["nullptr"])))
    lines.append("inline constexpr size_t %sSoundFileCount = %d;" % (prefix, len(sounds)))
    return "\n".join(lines) + "\n"


def main(arguments):
    if len(arguments) == 3 and arguments[0] == "--get":
        print(read(arguments[2]).get(arguments[1], ""))
        return
    if len(arguments) != 3:
        sys.exit(__doc__)
    output, source, prefix = arguments
    text = header(read(source), source[source.find("patchers/"):] if "patchers/" in source else source, prefix)
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, "w") as out:
        out.write(text)


if __name__ == "__main__":
    main(sys.argv[1:])
