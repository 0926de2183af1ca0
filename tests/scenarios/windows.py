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
import threading
import time

import discimage
import fixture_elvane_eu
from elvane import place_us
from elvane_eu import place_eu
from harness import GiB, also_under, check, collapse_repeats, expect_files, scenario

# Portable scenarios that run under wine as well, by name; the ones of programs not built yet
# join when their modules land.
WINE_SCENARIOS = [
    "elvane_decoys_skipped", "elvane_delta_prefix_case", "elvane_no_image", "elvane_old_output_removed_first",
    "elvane_unusual_file_names",
    "elvane_eu_broken_delta", "elvane_eu_no_decoder",
]
also_under("wine", WINE_SCENARIOS)

# What frpatch_elvane writes, as bytes: 0x82 é, 0x85 à, 0x87 ç, 0x88 ê, 0x8A è, 0x96 û.
ELVANE_BANNER = b"\r\n**** Patcheur pour mettre Elvane en Fran\x87ais ****\r\n\r\n\r\n"
PATCHING = b"Patchage du fichier ISO en cours :\r\n"
CLOSING = b"\r\nAppuyez sur n'importe quelle touche pour quitter le programme."


def us_detected(display):
    return b"Version US d\x82tect\x82e : " + display + b"\r\n\r\n"


def european_detected(display):
    return b"Version europ\x82enne d\x82tect\x82e : " + display + b"\r\n\r\n"


def success(output_display):
    return (b"\r\n\r\nLe patch a \x82t\x82 appliqu\x82 avec succ\x8as !\r\n"
            b"Le fichier du jeu en fran\x87ais est \"" + output_display + b"\".\r\n")


def failure(image_display):
    return (b"\r\n\r\nLe patchage a \x82chou\x82 d\x96 \x85 un probl\x8ame de CRC32. Le fichier \""
            + image_display + b"\" n'est pas correct.\r\n")


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


class Capture:
    """Keeps the bytes of a file that the program writes and removes again: a hard link made as
    soon as the file appears outlives the program's removal."""

    def __init__(self, path, link):
        self.path, self.link = path, link
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.watch)

    def watch(self):
        while not self.done.is_set():
            try:
                os.link(self.path, self.link)
                return
            except FileNotFoundError:
                time.sleep(0.002)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *_):
        self.done.set()
        self.thread.join()

    def sha256(self):
        check(os.path.exists(self.link), "%s never appeared" % self.path)
        return discimage.file_sha256(self.link)


@scenario("windows_elvane_us_exact_bytes", disk=3 * GiB, runners=("wine",))
def elvane_us_exact_bytes(context):
    """US image two folders down, delta elsewhere: the bytes of a successful run, and the decoder
    started in the delta's folder with the image and output named by drive-letter paths."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "sub", "deeper", "game.iso", delta_parts=("other", "place", "EV1_Patch_US-FR_1.xdelta"))
    result = context.run("frpatch_elvane", folder)
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
    check(discimage.file_sha256(os.path.join(folder, "sub", "deeper", "game_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")
    check(discimage.file_sha256(os.path.join(folder, "sub", "deeper", "game.iso")) == facts["image_sha256"],
          "the player's image changed")


@scenario("windows_elvane_no_decoder_at_drive_root", disk=3 * GiB, runners=("wine",))
def elvane_no_decoder_at_drive_root(context):
    """Started at the root of a drive with no xdelta.exe anywhere: the names stay whole (the root
    already ends in its backslash), the failure comes after about five seconds, nothing is left."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "game.iso")
    result = context.run("frpatch_elvane", folder, decoder=False, at_drive_root=True)
    check(re.fullmatch(r"[D-Z]:\\", result.start_directory) is not None,
          "started in %s, not at a drive root" % result.start_directory)
    shown = expect_bytes(result, ELVANE_BANNER + us_detected(b"game.iso") + PATCHING, failure(b"game.iso") + CLOSING)
    check(shown == [], "progress shown without an output: %s" % shown)
    check(4.5 <= result.seconds <= 30, "gave up after %.1f s" % result.seconds)
    check(result.decoder_calls == [], "a decoder ran: %s" % result.decoder_calls)
    check(result.start_failures == 1, "the command processor tried to start xdelta.exe %d times, not once"
          % result.start_failures)
    expect_files(folder, ["game.iso", "EV1_Patch_US-FR_1.xdelta"])
    check(discimage.file_sha256(os.path.join(folder, "game.iso")) == facts["image_sha256"], "the player's image changed")


@scenario("windows_elvane_subfolder_at_drive_root", disk=3 * GiB, runners=("wine",))
def elvane_subfolder_at_drive_root(context):
    """From a drive root, an image in a subfolder keeps its folder's first letter in the messages."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "jeux", "game.iso")
    result = context.run("frpatch_elvane", folder, at_drive_root=True)
    expect_bytes(result, ELVANE_BANNER + us_detected(b"jeux\\game.iso") + PATCHING,
                 success(b"jeux\\game_patched.iso") + CLOSING)
    drive = result.start_directory.encode()
    check(result.decoder_calls == [[b"-d", b"-fs", drive + b"jeux\\game.iso", b"EV1_Patch_US-FR_1.xdelta",
                                    drive + b"jeux\\game_patched.iso"]],
          "decoder started with %s" % result.decoder_calls)
    check(discimage.file_sha256(os.path.join(folder, "jeux", "game_patched.iso")) == facts["french_sha256"],
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
    with Capture(temporary, os.path.join(kept, "temp.iso")) as capture:
        result = context.run("frpatch_elvane", folder)
    shown = expect_bytes(result, ELVANE_BANNER + european_detected(b"Jeux\\Elvane (EU)\\Elvane.iso") + PATCHING,
                         success(b"Jeux\\Elvane (EU)\\Elvane_patched.iso") + CLOSING)
    shown = collapse_repeats(shown)
    check(shown[:51] == list(range(51)), "rebuild progress was %s" % shown[:51])
    check(shown == sorted(shown) and shown[-1] == 100, "progress was %s" % shown)
    start = result.start_directory.encode() + b"\\Jeux\\Elvane (EU)\\"
    expected_call = [b"-d", b"-fs", start + b"Elvane_temp.iso", fixture_elvane_eu.DELTA.encode(),
                     start + b"Elvane_patched.iso"]
    check(result.decoder_calls == [expected_call], "decoder started with %s, expected %s"
          % (result.decoder_calls, [expected_call]))
    expect_files(folder, ["Jeux/Elvane (EU)/Elvane.iso", "Jeux/Elvane (EU)/Elvane_patched.iso",
                          "patchs/" + fixture_elvane_eu.DELTA])
    check(capture.sha256() == facts["temporary_sha256"], "the temporary image is not the US layout expected")
    check(discimage.file_sha256(os.path.join(folder, "Jeux", "Elvane (EU)", "Elvane_patched.iso"))
          == facts["french_sha256"], "the French image differs from the decoder's own")
    check(discimage.file_sha256(os.path.join(folder, *image)) == facts["image_sha256"], "the player's image changed")
