#!/usr/bin/env python3
"""Turns the layout tables of a rebuild (plain text, see the data folder's README) into C++ arrays.

embed_tables.py OUTPUT.cpp HEADER NAME_PREFIX --names NAMES.txt [--sounds S1.txt S2.txt ...]

The output defines `<prefix>NameTable` and, when sound tables are given, `<prefix>SoundRuns`.
"""

import argparse
import sys


def fail(path, number, message):
    sys.exit("%s:%d: %s" % (path, number, message))


def read_names(path):
    """Two sections: [destination] rows `sector sectors name`, [source] rows `sector name`."""
    sections = {"destination": [], "source": []}
    current = None
    with open(path, encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("["):
                current = line.strip("[] ")
                if current not in sections:
                    fail(path, number, "unknown section %r" % current)
                continue
            if current is None:
                fail(path, number, "row before any section")
            fields = line.split(None, 2 if current == "destination" else 1)
            if len(fields) != (3 if current == "destination" else 2):
                fail(path, number, "expected %s" % ("sector sectors name" if current == "destination" else "sector name"))
            try:
                numbers = [int(field) for field in fields[:-1]]
            except ValueError:
                fail(path, number, "sector numbers must be decimal integers")
            name = fields[-1]
            if '"' in name or "\\" in name:
                fail(path, number, "names hold no quotes or backslashes")
            sections[current].append((name, numbers[0], numbers[1] if len(numbers) > 1 else 0))
    return sections


def read_sounds(path):
    """Rows of byte offsets, one per stream, and one row `end N` for the run's length."""
    offsets, end = [], None
    with open(path, encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("end"):
                end = int(line.split()[1])
                continue
            offsets.append(int(line))
    if end is None:
        fail(path, 0, "no `end` row")
    return offsets, end


def entries(rows):
    body = "".join('    {"%s", %d, %d},\n' % row for row in rows)
    return body + '    {"", 0, 0},\n'


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("header")
    parser.add_argument("prefix")
    parser.add_argument("--names", required=True)
    parser.add_argument("--sounds", nargs="*", default=[])
    options = parser.parse_args()

    names = read_names(options.names)
    out = ["// Made at build time from the layout tables in the data folder; edit those instead.\n",
           '#include "%s"\n\nnamespace {\n\n' % options.header,
           "const NameTableEntry kDestination[] = {\n", entries(names["destination"]), "};\n\n",
           "const NameTableEntry kSource[] = {\n", entries(names["source"]), "};\n\n"]
    runs = []
    for index, path in enumerate(options.sounds, 1):
        offsets, end = read_sounds(path)
        out.append("const int32_t kSound%d[] = {\n" % index)
        for start in range(0, len(offsets), 8):
            out.append("    " + ", ".join(str(value) for value in offsets[start:start + 8]) + ",\n")
        out.append("};\n\n")
        runs.append("    {kSound%d, %d, %d},\n" % (index, len(offsets), end))
    out.append("}  // namespace\n\n")
    out.append("const NameTable %sNameTable = {kDestination, kSource};\n" % options.prefix)
    if runs:
        out.append("const SoundOffsetTable %sSoundRuns[%d] = {\n%s};\n" % (options.prefix, len(runs), "".join(runs)))
    with open(options.output, "w", encoding="ascii") as target:
        target.write("".join(out))


if __name__ == "__main__":
    main()
