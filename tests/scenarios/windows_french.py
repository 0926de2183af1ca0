"""The Windows programs under wine in a French system setting (ANSI code page 1252, console code
page 850), with accented folder and file names: the names reach the console in code page 850,
a letter that code page lacks shows as "?", and the images are right to the byte."""

import os

import modetoggle_scenarios
import velmora
from elvane import place_us
from fixtures import images
from harness import GiB, check, expect_files, scenario
from windows import (CLOSING, ELVANE_BANNER, PATCHING, VELMORA_BANNER, expect_bytes, mode_switched, success,
                     us_detected)

FRENCH = "fr_FR.UTF-8"
GAMES = "Jeux vidéo & démos (PS2)"
# "œ" is in code page 1252 but not in 850: the console shows it as "?".
HEART = "Mes jeux (cœur & âme)"


def shown(*parts):
    """A path as the console shows it: backslashes, code page 850, "?" for what 850 lacks."""
    return "\\".join(parts).encode("cp850", errors="replace")


@scenario("windows_french_elvane_accented_names", disk=3 * GiB, runners=("wine",), locale=FRENCH)
def elvane_accented_names(context):
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, GAMES, "Elvane été.iso", delta_parts=("patch", "EV1_Patch_US-FR_1.xdelta"))
    result = context.run("frpatch_elvane", folder)
    expect_bytes(result, ELVANE_BANNER + us_detected(shown(GAMES, "Elvane été.iso")) + PATCHING,
                 success(shown(GAMES, "Elvane été_patched.iso")) + CLOSING)
    expect_files(folder, [GAMES + "/Elvane été.iso", GAMES + "/Elvane été_patched.iso",
                          "patch/EV1_Patch_US-FR_1.xdelta"])
    check(images.file_sha256(os.path.join(folder, GAMES, "Elvane été_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")


@scenario("windows_french_velmora_name_beyond_the_console", disk=3 * GiB, runners=("wine",), locale=FRENCH)
def velmora_name_beyond_the_console(context):
    folder = context.scratch(3 * GiB)
    image, facts = velmora.place(context, folder, (HEART, "Velmora à l'été.iso"), "us")
    result = context.run("frpatch_velmora", folder)
    expect_bytes(result, VELMORA_BANNER + us_detected(shown(HEART, "Velmora à l'été.iso")) + PATCHING,
                 success(shown(HEART, "Velmora à l'été_patched.iso")) + CLOSING)
    check(b"(c?ur & \x83me)" in result.stdout, "the letter code page 850 lacks is not shown as '?'")
    output = os.path.join(folder, HEART, "Velmora à l'été_patched.iso")
    check(images.file_sha256(output) == facts["french_sha256"], "the French image differs from the decoder's own")
    velmora.check_unchanged(image, facts, "us")


@scenario("windows_french_modetoggle_accented_names", disk=3 * GiB, runners=("wine",), locale=FRENCH)
def modetoggle_accented_names(context):
    folder = context.scratch(3 * GiB)
    image, facts = modetoggle_scenarios.place_image(context, folder, GAMES, "Velmora français.iso")
    result = context.run("modetoggle", folder)
    expected = mode_switched("Velmora français.iso".encode("cp850"), "480p")
    check(result.stdout == expected, "output differs:\n--- expected\n%r\n--- got\n%r" % (expected, result.stdout))
    check(modetoggle_scenarios.site_bytes(image) == modetoggle_scenarios.words("480p"), "the image is not in 480p")
