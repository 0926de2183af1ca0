"""Scenarios of frpatch_elvane on full-size US images, with the real decoder."""

import os

import messages
from fixtures import images, releases
from harness import (GiB, Interrupt, check, expect_files, expect_nothing_found, expect_text, file_reaches,
                     long_start_folder, pipe_named, progress_around, scenario, without_decoder_complaints)

PROGRAM = "frpatch_elvane"


def place_us(context, folder, *image_parts, delta_parts=("EV1_Patch_US-FR_1.xdelta",)):
    """Copies the US image and its delta into the scratch folder; returns the fixture facts."""
    made = context.fixture("elvane-us")
    context.place(made.path("image"), folder, *image_parts)
    context.place(made.path("delta"), folder, *delta_parts)
    return made.facts


def check_progress(shown, first=0, last=100):
    check(shown, "no progress line")
    check(shown == sorted(shown), "progress went backwards: %s" % shown)
    check(shown[0] >= first and shown[-1] == last, "progress from %s to %s" % (shown[0], shown[-1]))


@scenario("elvane_us_in_subfolder", disk=3 * GiB)
def us_in_subfolder(context):
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "sub", "deeper", "game.iso", delta_parts=("other", "place", "EV1_Patch_US-FR_1.xdelta"))
    # A file of the player's under the name the run probes the folder with stays as it is.
    players_file = os.path.join(folder, "sub", "deeper", "game_probe.tmp")
    with open(players_file, "wb") as notes:
        notes.write(b"the player's own notes\n")
    result = context.run(PROGRAM, folder)
    encoding = context.runner.encoding
    image = context.display("sub", "deeper", "game.iso")
    output = context.display("sub", "deeper", "game_patched.iso")
    shown = expect_text(result, messages.banner("Elvane") + messages.recognised(False, image) + messages.PATCHING
                        + messages.success(output) + messages.CLOSING, encoding)
    check_progress(shown)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    expect_files(folder, ["sub/deeper/game.iso", "sub/deeper/game_patched.iso", "sub/deeper/game_probe.tmp",
                          "other/place/EV1_Patch_US-FR_1.xdelta"])
    with open(players_file, "rb") as notes:
        check(notes.read() == b"the player's own notes\n", "the player's file under the probe's name changed")
    patched = os.path.join(folder, "sub", "deeper", "game_patched.iso")
    check(images.file_sha256(patched) == facts["french_sha256"], "the French image differs from the decoder's own")
    check(images.file_sha256(os.path.join(folder, "sub", "deeper", "game.iso")) == facts["image_sha256"],
          "the player's image changed")


@scenario("elvane_decoys_skipped", disk=0)
def decoys_skipped(context):
    """Images of the wrong size, or of the US size with another marker or boot path, are no Elvane
    image: each alone, the not-found text follows and nothing is written."""
    source = context.fixture("elvane-us").path("image")

    def us_image_with(offset, data):
        def fill(folder):
            images.patch_bytes(context.place(source, folder, "game.iso"), offset, data)
        return fill

    def small(folder):
        with open(os.path.join(folder, "small.iso"), "wb") as image:
            image.write(b"\0" * 4096)

    def huge(folder):
        # As large as the US image plus 4 GiB: its low 32 bits alone would pass for the US size.
        images.make_sparse(os.path.join(folder, "huge.iso"), releases.ELVANE_US["size"] + 4 * GiB,
                              releases.identity_stamps(releases.ELVANE_US))

    expect_nothing_found(context, PROGRAM, [
        ("another marker", us_image_with(14500752, b"\x82\x62\x82\x82")),
        ("another boot path", us_image_with(13093328, b"cdrom0:\\SLUS_603.28;1\0")),
        ("a small file", small),
        ("the US size plus 4 GiB", huge),
    ], messages.banner("Elvane") + messages.ELVANE_NOT_FOUND + messages.CLOSING)


@scenario("elvane_delta_prefix_case", disk=3 * GiB)
def delta_prefix_case(context):
    """The delta's name prefix counts case; a European delta does not serve a US image."""
    folder = context.scratch(3 * GiB)
    place_us(context, folder, "game.iso", delta_parts=("ev1_patch_us-fr_1.xdelta",))
    context.place(os.path.join(folder, "ev1_patch_us-fr_1.xdelta"), folder, "d", "EV1_Patch_EU-FR_1.xdelta")
    result = context.run(PROGRAM, folder)
    expect_text(result, messages.banner("Elvane") + messages.recognised(False, "game.iso") + messages.NO_US_DELTA
                + messages.CLOSING, context.runner.encoding)
    expect_files(folder, ["game.iso", "ev1_patch_us-fr_1.xdelta", "d/EV1_Patch_EU-FR_1.xdelta"])


@scenario("elvane_no_image", disk=0)
def no_image(context):
    """No image, a pipe named like one, a start folder too long for the path buffers, or folders that
    link back up the tree: the whole not-found text, at once, and an end with standard input closed."""
    def notes(folder):
        with open(os.path.join(folder, "notes.txt"), "w") as text:
            text.write("no disc here")

    def links_back(folder):
        """Folders whose two links lead back up the tree: walked naively, every path through them is
        a new one, and the walk grows exponentially with the level limit."""
        for name in ("a", "a/b"):
            os.makedirs(os.path.join(folder, name), exist_ok=True)
            os.symlink(folder, os.path.join(folder, name, "up"))
            os.symlink(os.path.join(folder, "a"), os.path.join(folder, name, "back"))

    expect_nothing_found(context, PROGRAM, [
        ("no image", notes),
        ("a pipe named like an image", pipe_named("game.iso")),
        ("a start folder longer than 254 characters", long_start_folder),
        ("folders with links back to the start", links_back),
    ], messages.banner("Elvane") + messages.ELVANE_NOT_FOUND + messages.CLOSING)


@scenario("elvane_no_decoder", disk=3 * GiB)
def no_decoder(context):
    """Without a decoder the player is told which program is missing and where to put it, at once:
    no stage is started, nothing is written."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "game.iso")
    result = context.run(PROGRAM, folder, decoder=False)
    shown = expect_text(result, messages.banner("Elvane") + messages.recognised(False, "game.iso") + messages.PATCHING
                        + messages.no_decoder(context.runner.decoder_name, result.start_directory) + messages.CLOSING,
                        context.runner.encoding)
    check(shown == [], "progress shown without a decoder: %s" % shown)
    expect_files(folder, ["game.iso", "EV1_Patch_US-FR_1.xdelta"])
    check(images.file_sha256(os.path.join(folder, "game.iso")) == facts["image_sha256"], "the player's image changed")


@scenario("elvane_old_output_removed_first", disk=3 * GiB)
def old_output_removed_first(context):
    """An old output of the full size must not pass for a new one: it goes before the decoder starts
    (here on a delta that is no delta, which the decoder refuses without writing a byte)."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "game.iso")
    with open(os.path.join(folder, "EV1_Patch_US-FR_1.xdelta"), "wb") as delta:
        delta.write(b"no delta\n")
    with open(os.path.join(folder, "game_patched.iso"), "wb") as old:
        old.truncate(facts["french_size"])
    result = without_decoder_complaints(context.run(PROGRAM, folder))
    expect_text(result, messages.banner("Elvane") + messages.recognised(False, "game.iso") + messages.PATCHING
                + messages.failure("game.iso")
                + messages.image_right("game.iso", "US", releases.ELVANE_US["crc32"], "EV1_Patch_US-FR_1.xdelta",
                                       context.runner.decoder_name)
                + messages.CLOSING, context.runner.encoding)
    expect_files(folder, ["game.iso", "EV1_Patch_US-FR_1.xdelta"])


@scenario("elvane_wrong_dump", disk=3 * GiB, runners=("native", "wine"))
def wrong_dump(context):
    """Another dump of the US release (one byte differs where the delta reads): the decoder stops,
    and after the failure message the player sees both CRC32 values and which dump the patch needs."""
    folder = context.scratch(3 * GiB)
    place_us(context, folder, "game.iso")
    image = os.path.join(folder, "game.iso")
    images.patch_bytes(image, 100, bytes([images.read_bytes(image, 100, 1)[0] ^ 0xFF]))
    crc = images.file_crc32(image)
    check(crc != releases.ELVANE_US["crc32"], "the changed image kept the published CRC32")
    result = without_decoder_complaints(context.run(PROGRAM, folder))
    expect_text(result, messages.banner("Elvane") + messages.recognised(False, "game.iso") + messages.PATCHING
                + messages.failure("game.iso") + messages.other_dump("game.iso", "US", crc, releases.ELVANE_US["crc32"])
                + messages.CLOSING, context.runner.encoding)
    stage, crc_pass = progress_around(result, messages.checking("game.iso"), context.runner.encoding)
    check(stage == [], "the decoder wrote part of a French image from another dump: %s" % stage)
    check(crc_pass and crc_pass == sorted(crc_pass) and crc_pass[-1] == 100, "CRC32 progress was %s" % crc_pass)
    expect_files(folder, ["game.iso", "EV1_Patch_US-FR_1.xdelta"])


@scenario("elvane_write_protected_folder", disk=0)
def write_protected_folder(context):
    """The image's folder refuses new files (an account that may only read it): the player is told
    so, naming the folder, before anything is written or started."""
    folder = os.path.realpath(context.scratch(0))  # as the program names it
    place_us(context, folder, "jeux", "game.iso", delta_parts=("jeux", "EV1_Patch_US-FR_1.xdelta"))
    games = os.path.join(folder, "jeux")
    os.chmod(games, 0o555)
    try:
        result = context.run(PROGRAM, folder, unprivileged=True)
    finally:
        os.chmod(games, 0o755)
    image = context.display("jeux", "game.iso")
    shown = expect_text(result, messages.banner("Elvane") + messages.recognised(False, image) + messages.PATCHING
                        + messages.write_protected(games) + messages.CLOSING, context.runner.encoding)
    check(shown == [], "progress shown: %s" % shown)
    expect_files(folder, ["jeux/game.iso", "jeux/EV1_Patch_US-FR_1.xdelta"])


@scenario("elvane_unusual_file_names", disk=3 * GiB)
def unusual_file_names(context):
    """Spaces, quotes, $ and shell punctuation in names are only names; the extension's case is free.
    The delta and the decoder lie in a folder whose name holds ";", which a search path would split."""
    folder = context.scratch(3 * GiB)
    name = "my \"game\" $HOME ;touch pwned; `id` 'x'.iso" if context.runner.name == "native" else "my game $HOME ;x 'y'.iso"
    facts = place_us(context, folder, "dir $x", name, delta_parts=("jeux;fr", "EV1_Patch_US-FR_A.XDELTA"))
    result = context.run(PROGRAM, folder)
    image = context.display("dir $x", name)
    output = context.display("dir $x", name[:-4] + "_patched.iso")
    expect_text(result, messages.banner("Elvane") + messages.recognised(False, image) + messages.PATCHING
                + messages.success(output) + messages.CLOSING, context.runner.encoding)
    expect_files(folder, ["dir $x/" + name, "dir $x/" + name[:-4] + "_patched.iso", "jeux;fr/EV1_Patch_US-FR_A.XDELTA"])
    check(images.file_sha256(os.path.join(folder, "dir $x", name[:-4] + "_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")


@scenario("elvane_interrupted_during_delta", disk=3 * GiB, runners=("native", "wine"))
def interrupted_during_delta(context):
    """Interrupted while the decoder writes the French image: its partial output goes and the
    player's image stays. Natively the program alone is told to end (SIGTERM): it stops the decoder
    it started, and no prompt waits for a player who is not there. Under wine the player presses
    Ctrl-C, which reaches every program of the console, and the prompt follows."""
    native = context.runner.name == "native"
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "game.iso")
    files = ["game.iso", "EV1_Patch_US-FR_1.xdelta"]
    if native:
        # The decoder notes its process before it becomes xdelta3 (exec keeps the process).
        record = os.path.join(context.scratch(0), "decoder.pid")
        probe = os.path.join(folder, "xdelta3")
        with open(probe, "w") as script:
            script.write('#!/bin/sh\necho $$ > "%s"\nexec "%s" "$@"\n' % (record, images.xdelta3()))
        os.chmod(probe, 0o755)
        files.append("xdelta3")
    kind = "terminate" if native else "ctrl-c"
    output = os.path.join(folder, "game_patched.iso")
    result = context.run(PROGRAM, folder, interrupt=Interrupt(kind, file_reaches(output, 100 * 2 ** 20)))
    shown = expect_text(result, messages.banner("Elvane") + messages.recognised(False, "game.iso") + messages.PATCHING
                        + messages.INTERRUPTED + ("" if native else messages.CLOSING), context.runner.encoding)
    check(shown and shown[-1] < 100, "not interrupted during the delta stage: progress %s" % shown)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    expect_files(folder, files)
    if native:
        with open(record) as noted:
            decoder = int(noted.read())
        try:
            os.kill(decoder, 0)  # a decoder left running, or left unreaped, is still there
            check(False, "the decoder (process %d) outlived the run" % decoder)
        except ProcessLookupError:
            pass
    check(images.file_sha256(os.path.join(folder, "game.iso")) == facts["image_sha256"], "the player's image changed")
