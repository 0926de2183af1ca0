"""Scenarios of frpatch_elvane on full-size US images, with the real decoder."""

import os

import discimage
import fixtures
import messages
import releases
from harness import GiB, check, expect_files, expect_text, scenario

PROGRAM = "frpatch_elvane"


def place_us(context, folder, *image_parts, delta_parts=("EV1_Patch_US-FR_1.xdelta",)):
    """Copies the US image and its delta into the scratch folder; returns the fixture facts."""
    source = context.fixture("elvane-us")
    facts = fixtures.facts(source)
    context.place(os.path.join(source, facts["image"]), folder, *image_parts)
    context.place(os.path.join(source, facts["delta"]), folder, *delta_parts)
    return facts


def check_progress(shown, first=0, last=100):
    check(shown, "no progress line")
    check(shown == sorted(shown), "progress went backwards: %s" % shown)
    check(shown[0] >= first and shown[-1] == last, "progress from %s to %s" % (shown[0], shown[-1]))


@scenario("elvane_us_in_subfolder", disk=3 * GiB)
def us_in_subfolder(context):
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "sub", "deeper", "game.iso", delta_parts=("other", "place", "EV1_Patch_US-FR_1.xdelta"))
    result = context.run(PROGRAM, folder)
    encoding = context.runner.encoding
    image = context.display("sub", "deeper", "game.iso")
    output = context.display("sub", "deeper", "game_patched.iso")
    shown = expect_text(result, messages.banner("Elvane") + messages.recognised(False, image) + messages.PATCHING
                        + messages.success(output) + messages.CLOSING, encoding)
    check_progress(shown)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    expect_files(folder, ["sub/deeper/game.iso", "sub/deeper/game_patched.iso", "other/place/EV1_Patch_US-FR_1.xdelta"])
    patched = os.path.join(folder, "sub", "deeper", "game_patched.iso")
    check(discimage.file_sha256(patched) == facts["french_sha256"], "the French image differs from the decoder's own")
    check(discimage.file_sha256(os.path.join(folder, "sub", "deeper", "game.iso")) == facts["image_sha256"],
          "the player's image changed")


@scenario("elvane_decoys_skipped", disk=3 * GiB)
def decoys_skipped(context):
    """Images of the wrong size, or of the US size with another marker or boot path, are passed over."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "real", "elvane.iso")
    source = os.path.join(context.fixture("elvane-us"), facts["image"])
    wrong_marker = context.place(source, folder, "a", "marker.iso")
    discimage.patch_bytes(wrong_marker, 14500752, b"\x82\x62\x82\x82")
    wrong_boot = context.place(source, folder, "b", "boot.ISO")
    discimage.patch_bytes(wrong_boot, 13093328, b"cdrom0:\\SLUS_603.28;1\0")
    with open(os.path.join(folder, "small.iso"), "wb") as small:
        small.write(b"\0" * 4096)
    # A file as large as the US image plus 4 GiB: its low 32 bits alone would pass for the US size.
    os.makedirs(os.path.join(folder, "c"))
    huge = os.path.join(folder, "c", "huge.iso")
    discimage.make_sparse(huge, facts["french_size"] + 4 * GiB, releases.identity_stamps(releases.ELVANE_US))
    result = context.run(PROGRAM, folder)
    image = context.display("real", "elvane.iso")
    expect_text(result, messages.banner("Elvane") + messages.recognised(False, image) + messages.PATCHING
                + messages.success(context.display("real", "elvane_patched.iso")) + messages.CLOSING,
                context.runner.encoding)
    expect_files(folder, ["real/elvane.iso", "real/elvane_patched.iso", "EV1_Patch_US-FR_1.xdelta", "a/marker.iso",
                          "b/boot.ISO", "small.iso", "c/huge.iso"])


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
    folder = context.scratch(0)
    with open(os.path.join(folder, "notes.txt"), "w") as notes:
        notes.write("no disc here")
    result = context.run(PROGRAM, folder, stdin=b"")
    expect_text(result, messages.banner("Elvane") + messages.ELVANE_NOT_FOUND + messages.CLOSING,
                context.runner.encoding)
    check(result.returncode == 0, "exit status %d with standard input closed" % result.returncode)


@scenario("elvane_no_decoder", disk=3 * GiB)
def no_decoder(context):
    """Without a decoder the output never appears: failure after about five seconds, nothing left."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "game.iso")
    result = context.run(PROGRAM, folder, decoder=False)
    shown = expect_text(result, messages.banner("Elvane") + messages.recognised(False, "game.iso") + messages.PATCHING
                        + messages.failure("game.iso") + messages.CLOSING, context.runner.encoding)
    check(shown == [], "progress shown without output: %s" % shown)
    check(4.5 <= result.seconds <= 30, "gave up after %.1f s" % result.seconds)
    expect_files(folder, ["game.iso", "EV1_Patch_US-FR_1.xdelta"])
    check(discimage.file_sha256(os.path.join(folder, "game.iso")) == facts["image_sha256"], "the player's image changed")


@scenario("elvane_old_output_removed_first", disk=3 * GiB)
def old_output_removed_first(context):
    """An old output of the full size must not pass for a new one: it goes before the decoder starts."""
    folder = context.scratch(3 * GiB)
    facts = place_us(context, folder, "game.iso")
    with open(os.path.join(folder, "game_patched.iso"), "wb") as old:
        old.truncate(facts["french_size"])
    result = context.run(PROGRAM, folder, decoder=False)
    expect_text(result, messages.banner("Elvane") + messages.recognised(False, "game.iso") + messages.PATCHING
                + messages.failure("game.iso") + messages.CLOSING, context.runner.encoding)
    expect_files(folder, ["game.iso", "EV1_Patch_US-FR_1.xdelta"])


@scenario("elvane_unusual_file_names", disk=3 * GiB)
def unusual_file_names(context):
    """Spaces, quotes, $ and shell punctuation in names are only names; the extension's case is free."""
    folder = context.scratch(3 * GiB)
    name = "my \"game\" $HOME ;touch pwned; `id` 'x'.iso" if context.runner.name == "native" else "my game $HOME ;x 'y'.iso"
    facts = place_us(context, folder, "dir $x", name, delta_parts=("EV1_Patch_US-FR_A.XDELTA",))
    result = context.run(PROGRAM, folder)
    image = context.display("dir $x", name)
    output = context.display("dir $x", name[:-4] + "_patched.iso")
    expect_text(result, messages.banner("Elvane") + messages.recognised(False, image) + messages.PATCHING
                + messages.success(output) + messages.CLOSING, context.runner.encoding)
    expect_files(folder, ["dir $x/" + name, "dir $x/" + name[:-4] + "_patched.iso", "EV1_Patch_US-FR_A.XDELTA"])
    check(discimage.file_sha256(os.path.join(folder, "dir $x", name[:-4] + "_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")
