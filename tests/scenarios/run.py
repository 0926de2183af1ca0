#!/usr/bin/env python3
"""Runs one scenario (or lists them) and reports PASSED, FAILED or SKIPPED; exit 0, 1 or 77."""

import argparse
import importlib
import os
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402

# Modules whose scenarios register themselves on import.
MODULES = ["elvane"]
for extra in ("elvane_eu", "velmora", "modetoggle_scenarios", "windows"):
    if os.path.exists(os.path.join(os.path.dirname(os.path.abspath(__file__)), extra + ".py")):
        MODULES.append(extra)
for module in MODULES:
    importlib.import_module(module)

SKIPPED = 77


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("name", nargs="?")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--program-dir", default="build")
    parser.add_argument("--fixtures", default="build/fixtures")
    parser.add_argument("--scratch", default="build/scratch")
    options = parser.parse_args()
    if options.list:
        print(";".join(sorted(harness.SCENARIOS)))
        return 0
    function = harness.SCENARIOS[options.name]
    context = harness.Context(harness.NativeRunner(os.path.abspath(options.program_dir)),
                              os.path.abspath(options.fixtures), os.path.abspath(os.path.join(options.scratch, options.name)))
    started = time.monotonic()
    try:
        function(context)
    except harness.Skip as reason:
        print("SKIPPED %s: %s" % (options.name, reason))
        return SKIPPED
    except harness.Failure as failure:
        print("FAILED %s: %s" % (options.name, failure))
        return 1
    except Exception:  # a broken scenario is a failure too
        traceback.print_exc()
        print("FAILED %s" % options.name)
        return 1
    finally:
        context.cleanup()
    print("PASSED %s in %.1f s" % (options.name, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
