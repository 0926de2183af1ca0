#!/usr/bin/env python3
"""`frlayout deltas` and `frlayout rebuild` on the fixture images of a game, as a maintainer runs them.

deltas.py elvane|velmora --program-dir DIR --fixtures DIR --scratch DIR

From the US and European fixture images and a French image made here, `frlayout deltas` must write
the game's delta files into a release folder that already holds an older delta of the game, the
other game's delta and the Windows decoder: the new deltas replace the older one, the other two stay
as they were, and none of the new ones uses LZMA or goes without window checksums. Then the
patcher, in a fresh folder holding the European image and the release folder's delta files, must
write the French image byte for byte. `frlayout rebuild` must write the temporary image that the
fixture expects of the patcher's European run. Exit 77 (SKIPPED) with too little free disk or
without xdelta3.
"""

import argparse
import os
import shutil
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests"))
sys.path.insert(0, os.path.join(ROOT, "tests", "scenarios"))

from fixtures import elvane, images, registry, velmora  # noqa: E402
from fixtures.releases import VELMORA_FR_SIZE  # noqa: E402
from harness import SKIPPED, Failure, GiB, Skip, check  # noqa: E402

# The proof's European run holds two full images at once, and the check's own run two more.
DISK_NEEDED = 7 * GiB
VCDIFF_MAGIC = b"\xd6\xc3\xc4\x00"


# game: (fixtures, the release folder's files before the run (older delta of the game first),
#        the delta files it must hold after, the --version given, where the rebuilt image's sha256 is)
GAMES = {
    "elvane": (("elvane-us", "elvane-eu"),
               ["EV1_Patch_US-FR_0.9.xdelta", "VL1_Patch_v1.xdelta", "xdelta.exe"],
               ["EV1_Patch_EU-FR_2.1.xdelta", "EV1_Patch_US-FR_2.1.xdelta"], ["--version", "2.1"],
               ("elvane-eu", "temporary_sha256")),
    "velmora": (("velmora",),
                ["vl1_prepatch.xdelta", "EV1_Patch_US-FR_1.xdelta", "xdelta.exe"],
                ["VL1_Patch_v1.xdelta", "VL1_Prepatch.xdelta"], [],
                ("velmora", "rebuilt_sha256")),
}


def team_images(game, fixtures, folder):
    """Hard links of the fixture's US and European images, and a French image made from the US one
    (sparse): the three images a translation team starts from."""
    if game == "elvane":
        us, eu = fixtures["elvane-us"].path("image"), fixtures["elvane-eu"].path("image")
    else:
        us, eu = fixtures["velmora"].path("us"), fixtures["velmora"].path("european")
    paths = {"us": os.path.join(folder, "US.iso"), "eu": os.path.join(folder, "EU.iso"), "fr": os.path.join(folder, "FR.iso")}
    os.link(us, paths["us"])
    os.link(eu, paths["eu"])
    images.copy_sparse(us, paths["fr"])
    if game == "elvane":
        images.patch_all(paths["fr"], elvane.french_changes("team-fr", os.path.getsize(us)))
    else:
        os.truncate(paths["fr"], VELMORA_FR_SIZE)
        images.patch_all(paths["fr"], velmora.french_changes())
    return paths


def check_header(path):
    """A delta that every decoder reads: VCDIFF, DJW or no secondary compression, no file names,
    window checksums."""
    with open(path, "rb") as delta:
        head = delta.read(16)
    check(head[:4] == VCDIFF_MAGIC, "%s is no VCDIFF delta" % path)
    indicator, at = head[4], 5
    if indicator & 1:
        check(head[5] in (0, 1), "%s is compressed with coder %d, not DJW" % (path, head[5]))
        at = 6
    check(not indicator & 6, "%s carries a code table or the file names" % path)
    check(head[at] & 4, "%s: its first window carries no checksum" % path)


def run(argv, cwd, stdin=b""):
    done = subprocess.run(argv, cwd=cwd, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=1800)
    return done.returncode, done.stdout.decode(errors="replace")


def scenario(game, program_dir, fixture_root, scratch):
    if not shutil.which("xdelta3"):
        raise Skip("xdelta3 is not installed (bash tools/setup.sh installs it)")
    fixture_names, release_before, new_deltas, version, (rebuilt_fixture, rebuilt_key) = GAMES[game]
    fixtures = {name: registry.get(name, fixture_root) for name in fixture_names}
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    if images.free_bytes(scratch) < DISK_NEEDED:
        raise Skip("needs %.1f GiB free in %s" % (DISK_NEEDED / GiB, scratch))
    discs = os.path.join(scratch, "discs")
    os.makedirs(discs)
    paths = team_images(game, fixtures, discs)
    french_sha256 = images.file_sha256(paths["fr"])
    stamps = {name: os.stat(path) for name, path in paths.items()}

    release = os.path.join(scratch, "release")
    os.makedirs(release)
    for name in release_before:
        with open(os.path.join(release, name), "wb") as kept:
            kept.write(name.encode() * 100)
    frlayout = os.path.join(program_dir, "frlayout")
    code, output = run([frlayout, "deltas", game, paths["us"], paths["eu"], paths["fr"], "--out", release] + version, scratch)
    check(code == 0, "frlayout deltas failed (%d):\n%s" % (code, output))
    for release_name in ("US", "European"):
        check("frpatch_%s on the %s image gave FR.iso byte for byte" % (game, release_name) in output,
              "no proof of the %s run:\n%s" % (release_name, output))
    wanted = sorted(release_before[1:] + new_deltas)
    check(sorted(os.listdir(release)) == wanted, "the release folder holds %s, not %s" % (sorted(os.listdir(release)), wanted))
    for name in release_before[1:]:
        with open(os.path.join(release, name), "rb") as kept:
            check(kept.read() == name.encode() * 100, "%s was changed" % name)
    for name in new_deltas:
        check_header(os.path.join(release, name))
    check(sorted(os.listdir(discs)) == ["EU.iso", "FR.iso", "US.iso"], "left beside the images: %s" % sorted(os.listdir(discs)))
    for name, path in paths.items():
        now = os.stat(path)
        check((now.st_size, now.st_mtime_ns) == (stamps[name].st_size, stamps[name].st_mtime_ns), "%s was changed" % path)

    # A player's European run with the release folder's files, in a folder of its own.
    player = os.path.join(scratch, "player")
    os.makedirs(player)
    os.link(paths["eu"], os.path.join(player, "Jeu.iso"))
    for name in new_deltas:
        shutil.copy(os.path.join(release, name), player)
    code, output = run([os.path.join(program_dir, "frpatch_" + game)], player, stdin=b"\n")
    french = os.path.join(player, "Jeu_patched.iso")
    check(os.path.exists(french), "the European run wrote no French image:\n%s" % output)
    check(images.file_sha256(french) == french_sha256, "the European run's French image is not FR.iso")
    check(sorted(os.listdir(player)) == sorted(["Jeu.iso", "Jeu_patched.iso"] + new_deltas),
          "the European run left %s" % sorted(os.listdir(player)))
    os.remove(french)

    rebuilt = os.path.join(scratch, "rebuilt.iso")
    code, output = run([frlayout, "rebuild", game, paths["eu"], rebuilt], scratch)
    check(code == 0, "frlayout rebuild failed (%d):\n%s" % (code, output))
    check(images.file_sha256(rebuilt) == fixtures[rebuilt_fixture].facts[rebuilt_key],
          "frlayout rebuild did not write the temporary image of the patcher's European run")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("game", choices=sorted(GAMES))
    parser.add_argument("--program-dir", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--scratch", required=True)
    options = parser.parse_args()
    scratch = os.path.join(os.path.abspath(options.scratch), "frlayout-deltas-" + options.game)
    try:
        scenario(options.game, os.path.abspath(options.program_dir), os.path.abspath(options.fixtures), scratch)
    except (registry.NoRoom, Skip) as reason:
        print("SKIPPED: %s" % reason)
        return SKIPPED
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("PASSED")
    return 0


if __name__ == "__main__":
    sys.exit(main())
