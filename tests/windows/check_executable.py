#!/usr/bin/env python3
"""Checks a built Windows program: it imports only DLLs of Windows itself, and carries its resources.

    check_executable.py PROGRAM --program-dir build-win/bin
    check_executable.py --import-check-catches-runtime-dlls

The import table is read with the cross binutils' objdump; the resources with pe_image. Exit 0
when the checks pass, 1 when one fails, 77 (SKIPPED, with the reason) when the Windows build or
the tools are not there.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import pe_image  # noqa: E402

SKIPPED = 77
OBJDUMP = "x86_64-w64-mingw32-objdump"
SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
ICON = os.path.join(SOURCE_DIR, "resources", "frpatch.ico")

# DLLs that every Windows installation has. The C runtime msvcrt.dll ships with Windows; the
# Universal CRT (ucrtbase.dll and its api-ms-win-crt-* sets) too, from Windows 10 on. The
# compiler's own runtime DLLs (libstdc++, libgcc, winpthread) are deliberately absent.
WINDOWS_DLLS = {"kernel32.dll", "kernelbase.dll", "ntdll.dll", "msvcrt.dll", "ucrtbase.dll", "user32.dll",
                "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll",
                "ws2_32.dll", "version.dll", "bcrypt.dll", "crypt32.dll"}
WINDOWS_DLL_SETS = re.compile(r"^api-ms-win-(crt|core)-[a-z0-9-]+\.dll$")

FRENCH_PATCHER_NAME = "Elvane - Patcheur fran\u00e7ais"
# What each program must carry; a program that is not built is not checked.
EXPECTED = {
    "frpatch_elvane": {"icon": "MAINICON",
                       "version": {"file_version": (1, 0, 0, 0), "product_version": (1, 0, 0, 0),
                                   "strings": {"FileDescription": FRENCH_PATCHER_NAME, "ProductName": FRENCH_PATCHER_NAME,
                                               "FileVersion": "1.0.0.0", "ProductVersion": "1.0.0.0"}}},
    "frpatch_velmora": {"icon": "MAINICON"},
    "modetoggle": {},
}


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def is_windows_dll(name):
    name = name.lower()
    return name in WINDOWS_DLLS or bool(WINDOWS_DLL_SETS.match(name))


def imported_dlls(executable):
    if not shutil.which(OBJDUMP):
        raise Skip("%s is not installed" % OBJDUMP)
    dump = subprocess.run([OBJDUMP, "-p", executable], stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True)
    text = dump.stdout.decode("latin-1")
    check("file format pei-x86-64" in text, "%s is not a 64-bit Windows executable" % executable)
    return re.findall(r"^\s*DLL Name: (\S+)\s*$", text, re.MULTILINE)


def check_imports(executable):
    dlls = imported_dlls(executable)
    check(dlls, "no import table found in %s" % executable)
    foreign = [dll for dll in dlls if not is_windows_dll(dll)]
    check(not foreign, "%s needs DLLs that Windows does not have: %s" % (os.path.basename(executable), foreign))
    return dlls


def check_icon(resources, group_name):
    group = pe_image.find(resources, pe_image.RT_GROUP_ICON, group_name)
    check(group is not None, "no icon group %s" % group_name)
    entries = pe_image.icon_group(group)
    with open(ICON, "rb") as icon:
        drawn = pe_image.icon_file_images(icon.read())
    sizes = sorted(width for width, _, _, _, _ in entries)
    check(sizes == sorted(width for width, _, _ in drawn),
          "icon group %s has sizes %s, the icon file %s" % (group_name, sizes, [w for w, _, _ in drawn]))
    check(len(set(sizes)) >= 3, "only sizes %s in the icon group" % sizes)
    for width, height, _, size, icon_id in entries:
        image = pe_image.find(resources, pe_image.RT_ICON, icon_id)
        check(image is not None, "icon %d (%dx%d) of the group is missing" % (icon_id, width, height))
        check(len(image) == size, "icon %d holds %d bytes, its group entry says %d" % (icon_id, len(image), size))
        same = [data for w, h, data in drawn if (w, h) == (width, height)]
        check(same and same[0] == image, "the %dx%d icon differs from resources/frpatch.ico" % (width, height))
    return sizes


def check_version(resources, expected):
    data = pe_image.find(resources, pe_image.RT_VERSION, 1)
    check(data is not None, "no version block")
    version = pe_image.VersionInfo(data)
    check(version.file_version == expected["file_version"], "FILEVERSION is %s" % (version.file_version,))
    check(version.product_version == expected["product_version"], "PRODUCTVERSION is %s" % (version.product_version,))
    check(len(version.tables) == 1, "string tables %s, expected one" % sorted(version.tables))
    (table_key, strings), = version.tables.items()
    for name, text in expected["strings"].items():
        check(strings.get(name) == text, "%s is %r, expected %r" % (name, strings.get(name), text))
    # Explorer picks the string table through the translation; they must name the same language and code page.
    language, code_page = int(table_key[:4], 16), int(table_key[4:], 16)
    check((language, code_page) in version.translations,
          "string table %s is not among the translations %s" % (table_key, version.translations))
    return table_key, strings


def check_program(program, program_dir):
    if not os.path.isdir(program_dir):
        raise Skip("no Windows build in %s (tools/test_all.sh makes it)" % program_dir)
    executable = os.path.join(program_dir, program + ".exe")
    check(os.path.isfile(executable), "%s was not built" % executable)
    dlls = check_imports(executable)
    print("%s imports %s" % (program, ", ".join(dlls)))
    resources = pe_image.resources_of(executable)
    expected = EXPECTED[program]
    if "icon" in expected:
        print("icon group %s: sizes %s" % (expected["icon"], check_icon(resources, expected["icon"])))
    if "version" in expected:
        table_key, strings = check_version(resources, expected["version"])
        print("version block %s: %s" % (table_key, strings))


def import_check_catches_runtime_dlls():
    """A program linked the ordinary (dynamic) way must fail the import check by its runtime DLLs."""
    compiler = "x86_64-w64-mingw32-g++"
    if not shutil.which(compiler):
        raise Skip("%s is not installed" % compiler)
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "dynamic.cpp")
        with open(source, "w") as text:
            text.write("#include <iostream>\n#include <string>\n"
                       "int main(int argc, char** argv) { std::cout << std::string(argv[0]) << argc; }\n")
        executable = os.path.join(folder, "dynamic.exe")
        subprocess.run([compiler, "-O1", "-o", executable, source], check=True)
        try:
            check_imports(executable)
        except Failure as failure:
            check("libstdc++-6.dll" in str(failure), "the check failed for another reason: %s" % failure)
            print("caught: %s" % failure)
            return
        raise Failure("a dynamically linked program passed the import check")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program", nargs="?", choices=sorted(EXPECTED))
    parser.add_argument("--program-dir", default=os.path.join(SOURCE_DIR, "build-win", "bin"))
    parser.add_argument("--import-check-catches-runtime-dlls", action="store_true")
    options = parser.parse_args()
    try:
        if options.import_check_catches_runtime_dlls:
            import_check_catches_runtime_dlls()
        else:
            check_program(options.program, os.path.abspath(options.program_dir))
    except Skip as reason:
        print("SKIPPED: %s" % reason)
        return SKIPPED
    except (Failure, pe_image.FormatError) as failure:
        print("FAILED: %s" % failure)
        return 1
    print("PASSED")
    return 0


if __name__ == "__main__":
    sys.exit(main())
