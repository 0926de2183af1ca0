#!/usr/bin/env python3
"""Runs one scenario (or lists them) and reports PASSED, FAILED or SKIPPED; exit 0, 1 or 77."""

import argparse
import importlib
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402
import wine_runner  # noqa: E402

# Modules whose scenarios register themselves on import.
MODULES = ["elvane"]
for extra in ("elvane_eu", "velmora", "modetoggle_scenarios", "windows", "windows_french"):
    if os.path.exists(os.path.join(os.path.dirname(os.path.abspath(__file__)), extra + ".py")):
        MODULES.append(extra)
for module in MODULES:
    importlib.import_module(module)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("name", nargs="?")
    parser.add_argument("--list", action="store_true", help="names of the scenarios that the runner can run")
    parser.add_argument("--runner", choices=("native", "wine"), default="native",
                        help="native: the Linux build; wine: the Windows build (.exe) under wine")
    parser.add_argument("--program-dir", default="build/bin")
    parser.add_argument("--fixtures", default="build/fixtures")
    parser.add_argument("--scratch", default="build/scratch")
    options = parser.parse_args()
    if options.list:
        print(";".join(sorted(name for name, function in harness.SCENARIOS.items()
                              if options.runner in function.runners)))
        return 0
    function = harness.SCENARIOS[options.name]
    if options.runner not in function.runners:
        print("FAILED %s: not written for the %s runner" % (options.name, options.runner))
        return 1
    fixtures = os.path.abspath(options.fixtures)
    scratch = os.path.abspath(os.path.join(options.scratch, options.name))
    program_dir = os.path.abspath(options.program_dir)
    if options.runner == "wine":
        runner = wine_runner.WineRunner(program_dir, fixtures, os.path.join(scratch, "wine"), locale=function.locale)
    else:
        runner = harness.NativeRunner(program_dir)
    return harness.run_reported(options.name, function, harness.Context(runner, fixtures, scratch))


if __name__ == "__main__":
    sys.exit(main())
