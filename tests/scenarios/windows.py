"""Scenarios of the Windows programs under wine: the console bytes exactly, paths with drive letters.

The scenarios written for any runner (they build their expected text with context.display and
the runner's encoding) are also run under wine: WINE_SCENARIOS names them, and a name that no
module defines yet is left out. The scenarios below are for wine only and spell out the bytes
that a Windows console receives: code page 850 letters, "\r\n" line ends from the C runtime,
the progress line rewritten with a bare "\r", backslashes, and the drive-letter paths that the
program hands to the decoder.
"""

import os
import re

import modetoggle_scenarios
import velmora
from elvane import place_us
from elvane_eu import place_eu
from fixtures import images
from fixtures.elvane import EU_DELTA
from harness import GiB, also_under, check, collapse_repeats, expect_files, scenario

# Portable scenarios that run under wine as well, each for what only Windows has. The others (the
# Velmora failures, the delta's name case, modetoggle's decoys) only replay their native run: the
# logic is the programs' common code, and the Windows parts they pass through are checked here.
WINE_SCENARIOS = [
    "elvane_decoys_skipped",  # a file of the US size plus 4 GiB: the 64-bit size of the Windows file layer
    "elvane_no_image",  # a start folder past the path buffers as GetCurrentDirectoryA gives it, at a drive root
    "elvane_unusual_file_names",  # spaces, $, ; and quotes through cmd.exe's "start /b" command line
    "elvane_eu_no_decoder",  # no xdelta.exe in the delta's folder nor on the search path, the folder named
    # with its drive letter and backslashes
    "modetoggle_no_image",  # the library's closing key read from a closed standard input, by the Windows C runtime
]
also_under("wine", WINE_SCENARIOS)

# What the programs write, as bytes: 0x82 é, 0x85 à, 0x87 ç, 0x88 ê, 0x8A è, 0x96 û.
ELVANE_BANNER = b"\r\n**** Patcheur pour mettre Elvane en Fran\x87ais ****\r\n\r\n\r\n"
VELMORA_BANNER = b"\r\n**** Patcheur pour mettre Velmora en Fran\x87ais ****\r\n\r\n\r\n"
PATCHING = b"Patchage du fichier ISO en cours :\r\n"
CLOSING = b"\r\nAppuyez sur n'importe quelle touche pour quitter le programme."


def us_detected(display):
    return b"Version US d\x82tect\x82e : " + display + b"\r\n\r\n"


def european_detected(display):
    return b"Version europ\x82enne d\x82tect\x82e : " + display + b"\r\n\r\n"


def success(output_display):
    return (b"\r\n\r\nLe patch a \x82t\x82 appliqu\x82 avec succ\x8as !\r\n"
            b"Le fichier du jeu en fran\x87ais est \"" + output_display + b"\".\r\n")


def no_decoder(folder):
    return (b"Impossible de trouver le programme xdelta.exe.\r\nPlacez-le dans le dossier \"" + folder
            + b"\", puis relancez le patcheur.\r\n")


MODETOGGLE_BANNER = b"\r\n**** Patcheur pour mettre Velmora en 480p ****\r\n\r\n\r\n"


def mode_switched(name, mode):
    shown = b"480p" if mode == "480p" else b"480i (par d\x82faut)"
    return (MODETOGGLE_BANNER + b"ISO FR d\x82tect\x82 : " + name + b"\r\n"
            + b"\r\nLe fichier iso a \x82t\x82 modifi\x82 avec succ\x8as\r\n\r\n"
            + b"Mode actuel : " + shown + b"\r\n\r\nAppuyez sur n'importe quelle touche pour quitter le programme.")


PROGRESS_LINES = re.compile(rb"(?:Progression : \d{1,3} %\r)*")
PERCENT = re.compile(rb"Progression : (\d{1,3}) %\r")


def expect_bytes(result, before, after):
    """The output is exactly `before`, progress lines, `after`; returns the percentages shown."""
    out = result.stdout
    detail = "output differs:\n--- expected\n%r\n  [progress lines]\n%r\n--- got\n%r" % (before, after, out)
    check(out.startswith(before) and out.endswith(after) and len(out) >= len(before) + len(after), detail)
    middle = out[len(before):len(out) - len(after)]
    check(PROGRESS_LINES.fullmatch(middle) is not None, "between the messages, more than progress lines:\n%r" % middle)
    return [int(value) for value in PERCENT.findall(middle)]


@scenario("windows_elvane_us_exact_bytes", disk=3 * GiB, runners=("wine",))
def elvane_us_exact_bytes(context):
    """US image two folders down, delta elsewhere: the bytes of a successful run, and the decoder
    started in the delta's folder with the image and output named by drive-letter paths."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "sub", "deeper", "game.iso", delta_parts=("other", "place", "EV1_Patch_US-FR_1.xdelta"))
    result = context.run("frpatch_elvane", folder, log_decoder=True)
    shown = expect_bytes(result, ELVANE_BANNER + us_detected(b"sub\\deeper\\game.iso") + PATCHING,
                         success(b"sub\\deeper\\game_patched.iso") + CLOSING)
    check(shown and shown == sorted(shown) and shown[-1] == 100, "progress shown: %s" % shown)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    start = result.start_directory.encode()
    check(re.fullmatch(rb"[D-Z]:\\run-\d+", start) is not None, "started in %r, not in a folder of a drive" % start)
    expected_call = [b"-d", b"-fs", start + b"\\sub\\deeper\\game.iso", b"EV1_Patch_US-FR_1.xdelta",
                     start + b"\\sub\\deeper\\game_patched.iso"]
    check(result.decoder_calls == [expected_call], "decoder started with %s, expected %s"
          % (result.decoder_calls, [expected_call]))
    expect_files(folder, ["sub/deeper/game.iso", "sub/deeper/game_patched.iso", "other/place/EV1_Patch_US-FR_1.xdelta"])
    check(images.file_sha256(os.path.join(folder, "sub", "deeper", "game_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")
    check(images.file_sha256(os.path.join(folder, "sub", "deeper", "game.iso")) == facts["image_sha256"],
          "the player's image changed")


@scenario("windows_elvane_no_decoder_at_drive_root", disk=3 * GiB, runners=("wine",))
def elvane_no_decoder_at_drive_root(context):
    """Started at the root of a drive with no xdelta.exe anywhere: the player is told at once which
    program is missing and to put it in the delta's folder, the root itself (already ending in its
    backslash); the command processor is never asked to start it, and nothing is left."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "game.iso")
    result = context.run("frpatch_elvane", folder, decoder=False, at_drive_root=True)
    check(re.fullmatch(r"[D-Z]:\\", result.start_directory) is not None,
          "started in %s, not at a drive root" % result.start_directory)
    shown = expect_bytes(result, ELVANE_BANNER + us_detected(b"game.iso") + PATCHING,
                         no_decoder(result.start_directory.encode()) + CLOSING)
    check(shown == [], "progress shown without a decoder: %s" % shown)
    check(result.decoder_calls == [], "a decoder ran: %s" % result.decoder_calls)
    check(result.start_failures == 0, "the command processor tried to start xdelta.exe %d times" % result.start_failures)
    expect_files(folder, ["game.iso", "EV1_Patch_US-FR_1.xdelta"])
    check(images.file_sha256(os.path.join(folder, "game.iso")) == facts["image_sha256"], "the player's image changed")


@scenario("windows_elvane_subfolder_at_drive_root", disk=3 * GiB, runners=("wine",))
def elvane_subfolder_at_drive_root(context):
    """From a drive root, an image in a subfolder keeps its folder's first letter in the messages."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "jeux", "game.iso")
    result = context.run("frpatch_elvane", folder, at_drive_root=True, log_decoder=True)
    expect_bytes(result, ELVANE_BANNER + us_detected(b"jeux\\game.iso") + PATCHING,
                 success(b"jeux\\game_patched.iso") + CLOSING)
    drive = result.start_directory.encode()
    check(result.decoder_calls == [[b"-d", b"-fs", drive + b"jeux\\game.iso", b"EV1_Patch_US-FR_1.xdelta",
                                    drive + b"jeux\\game_patched.iso"]],
          "decoder started with %s" % result.decoder_calls)
    check(images.file_sha256(os.path.join(folder, "jeux", "game_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")


@scenario("windows_elvane_eu_exact_bytes", disk=6 * GiB, runners=("wine",))
def elvane_eu_exact_bytes(context):
    """European image in a folder with a space: the rebuild shows 0 to 50 %, the decoder 50 to 100 %,
    the temporary image is the US layout and goes at the end, the French image is right."""
    folder = context.scratch(6 * GiB)
    kept = context.scratch(0)
    image = ("Jeux", "Elvane (EU)", "Elvane.iso")
    facts = place_eu(context, folder, image)
    temporary = os.path.join(folder, "Jeux", "Elvane (EU)", "Elvane_temp.iso")
    with velmora.Captures([temporary], kept) as captures:
        result = context.run("frpatch_elvane", folder, log_decoder=True)
    shown = expect_bytes(result, ELVANE_BANNER + european_detected(b"Jeux\\Elvane (EU)\\Elvane.iso") + PATCHING,
                         success(b"Jeux\\Elvane (EU)\\Elvane_patched.iso") + CLOSING)
    shown = collapse_repeats(shown)
    check(shown[:51] == list(range(51)), "rebuild progress was %s" % shown[:51])
    check(shown == sorted(shown) and shown[-1] == 100, "progress was %s" % shown)
    start = result.start_directory.encode() + b"\\Jeux\\Elvane (EU)\\"
    expected_call = [b"-d", b"-fs", start + b"Elvane_temp.iso", EU_DELTA.encode(),
                     start + b"Elvane_patched.iso"]
    check(result.decoder_calls == [expected_call], "decoder started with %s, expected %s"
          % (result.decoder_calls, [expected_call]))
    expect_files(folder, ["Jeux/Elvane (EU)/Elvane.iso", "Jeux/Elvane (EU)/Elvane_patched.iso",
                          "patchs/" + EU_DELTA])
    check(captures.sha256(temporary) == facts["temporary_sha256"], "the temporary image is not the US layout expected")
    check(images.file_sha256(os.path.join(folder, "Jeux", "Elvane (EU)", "Elvane_patched.iso"))
          == facts["french_sha256"], "the French image differs from the decoder's own")
    check(images.file_sha256(os.path.join(folder, *image)) == facts["image_sha256"], "the player's image changed")


@scenario("windows_elvane_eu_decoder_holds_temporary_image", disk=6 * GiB, runners=("wine",))
def elvane_eu_decoder_holds_temporary_image(context):
    """The temporary image is still held (shared for reading only, as xdelta3 holds its source) when
    the patcher first tries to remove it after success: the decoder has ended, but another program
    holds the image for a moment, as an antivirus may. The patcher tries again until it lets go,
    and no temporary image is left."""
    folder = context.scratch(6 * GiB)
    place_eu(context, folder, ("game.iso",))
    result = context.run("frpatch_elvane", folder, hold_source=os.path.join(folder, "game_temp.iso"))
    expect_bytes(result, ELVANE_BANNER + european_detected(b"game.iso") + PATCHING,
                 success(b"game_patched.iso") + CLOSING)
    expect_files(folder, ["game.iso", "game_patched.iso", "patchs/" + EU_DELTA])
    check(result.held_source_opens >= 2, "after the decoder ended, the patcher tried %d times to remove the temporary "
          "image it held, not twice: the first removal was not refused" % result.held_source_opens)


@scenario("windows_velmora_us_exact_bytes", disk=3 * GiB, runners=("wine",))
def velmora_us_exact_bytes(context):
    """A US image in a folder with a space: one stage from the image's folder, its French image right."""
    folder = context.scratch(3 * GiB)
    image, facts = velmora.place(context, folder, ("Mes jeux", "Velmora.iso"), "us")
    result = context.run("frpatch_velmora", folder, log_decoder=True)
    shown = expect_bytes(result, VELMORA_BANNER + us_detected(b"Mes jeux\\Velmora.iso") + PATCHING,
                         success(b"Mes jeux\\Velmora_patched.iso") + CLOSING)
    # The decoder may have written its first percent before the program's first look at the output.
    check(shown and shown == sorted(shown) and shown[-1] == 100, "progress shown: %s" % shown)
    games = result.start_directory.encode() + b"\\Mes jeux\\"
    expected_call = [b"-d", b"-fs", games + b"Velmora.iso", velmora.TRANSLATION.encode(), games + b"Velmora_patched.iso"]
    check(result.decoder_calls == [expected_call], "decoder started with %s, expected %s"
          % (result.decoder_calls, [expected_call]))
    expect_files(folder, ["Mes jeux/Velmora.iso", "Mes jeux/Velmora_patched.iso", "Mes jeux/" + velmora.PREPATCH,
                          "Mes jeux/" + velmora.TRANSLATION])
    check(images.file_sha256(os.path.join(folder, "Mes jeux", "Velmora_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")
    velmora.check_unchanged(image, facts, "us")


@scenario("windows_velmora_eu_exact_bytes", disk=9 * GiB, runners=("wine",))
def velmora_eu_exact_bytes(context):
    """A European image: rebuild, pre-patch and translation on one progress line, each image right
    to the byte, the two decoder stages named with drive-letter paths, only the French image left."""
    folder = context.scratch(9 * GiB)
    kept = context.scratch(0)
    image, facts = velmora.place(context, folder, ("Velmora (EU)", "game.iso"), "european")
    temporary = os.path.join(folder, "Velmora (EU)", "game_temp.iso")
    prepatched = os.path.join(folder, "Velmora (EU)", "game_prepatched.iso")
    with velmora.Captures([temporary, prepatched], kept) as captures:
        result = context.run("frpatch_velmora", folder, log_decoder=True)
    shown = expect_bytes(result, VELMORA_BANNER + european_detected(b"Velmora (EU)\\game.iso") + PATCHING,
                         success(b"Velmora (EU)\\game_patched.iso") + CLOSING)
    velmora.check_progress(collapse_repeats(shown), passing=(33, 66, 67))
    here = result.start_directory.encode() + b"\\Velmora (EU)\\"
    expected_calls = [[b"-d", b"-fs", here + b"game_temp.iso", velmora.PREPATCH.encode(), here + b"game_prepatched.iso"],
                      [b"-d", b"-fs", here + b"game_prepatched.iso", velmora.TRANSLATION.encode(),
                       here + b"game_patched.iso"]]
    check(result.decoder_calls == expected_calls, "decoder started with %s, expected %s"
          % (result.decoder_calls, expected_calls))
    expect_files(folder, ["Velmora (EU)/game.iso", "Velmora (EU)/game_patched.iso", "Velmora (EU)/" + velmora.PREPATCH,
                          "Velmora (EU)/" + velmora.TRANSLATION])
    check(captures.sha256(temporary) == facts["rebuilt_sha256"], "the rebuilt image is not the US layout expected")
    check(captures.sha256(prepatched) == facts["us_sha256"], "the pre-patched image is not the US image")
    check(images.file_sha256(os.path.join(folder, "Velmora (EU)", "game_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")
    velmora.check_unchanged(image, facts, "eu")


@scenario("windows_modetoggle_flips_both_ways_at_drive_root", disk=3 * GiB, runners=("wine",))
def modetoggle_flips_both_ways_at_drive_root(context):
    """From the root of a drive, the French image two folders down goes to 480p and back to 480i;
    only the file name is shown and only the 16 bytes of the four words ever change."""
    folder = context.scratch(3 * GiB)
    image, facts = modetoggle_scenarios.place_image(context, folder, "Jeux", "Velmora FR", "velmora_fr.iso")
    for mode in ("480p", "480i"):
        result = context.run("modetoggle", folder, at_drive_root=True)
        check(re.fullmatch(r"[D-Z]:\\", result.start_directory) is not None,
              "started in %s, not at a drive root" % result.start_directory)
        check(result.stdout == mode_switched(b"velmora_fr.iso", mode),
              "output differs:\n--- expected\n%r\n--- got\n%r" % (mode_switched(b"velmora_fr.iso", mode), result.stdout))
        check(result.returncode == 0, "exit status %d" % result.returncode)
        check(modetoggle_scenarios.site_bytes(image) == modetoggle_scenarios.words(mode),
              "the four words are not those of %s" % mode)
        check(os.path.getsize(image) == modetoggle_scenarios.IMAGE_SIZE, "the image's size changed")
        check(images.file_sha256(image) == facts["sha256_" + mode], "bytes other than the four words changed")


@scenario("windows_modetoggle_image_held_open", disk=3 * GiB, runners=("wine",))
def modetoggle_image_held_open(context):
    """Another program holds the image open: the library's English message and its key wait, exit
    status 0, the image untouched; once it lets go, the switch works."""
    folder = context.scratch(3 * GiB)
    image, facts = modetoggle_scenarios.place_image(context, folder, "game.iso")
    with context.runner.held_open(image):
        result = context.run("modetoggle", folder)
    expected = MODETOGGLE_BANNER + b"File      game.iso\r\nError: Impossible to open the file game.iso."
    check(result.stdout == expected, "output differs:\n--- expected\n%r\n--- got\n%r" % (expected, result.stdout))
    check(result.returncode == 0, "exit status %d" % result.returncode)
    check(images.file_sha256(image) == facts["sha256_480i"], "the image changed")
    result = context.run("modetoggle", folder)
    check(result.stdout == mode_switched(b"game.iso", "480p"), "after the holder let go:\n%r" % result.stdout)
