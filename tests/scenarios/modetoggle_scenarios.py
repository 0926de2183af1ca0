"""Scenarios of modetoggle on full-size sparse French Velmora images, run as a player would."""

import fcntl
import os

from fixtures import images, releases
from fixtures.modetoggle import IMAGE_SIZE, SITES, sha256_with, words
from harness import GiB, Skip, check, expect_text, scenario

PROGRAM = "modetoggle"
BOOT_OFFSET = releases.VELMORA_US["boot_offset"]
BOOT_PATH = releases.VELMORA_US["boot"]


BANNER = "\n**** Patcheur pour mettre Velmora en 480p ****\n\n\n"
NOT_FOUND = "Impossible de trouver le fichier ISO FR de Velmora.\n"
CLOSING = "\n\nAppuyez sur n'importe quelle touche pour quitter le programme."


def switched(name, mode):
    shown = "480p" if mode == "480p" else "480i (par défaut)"
    return (BANNER + "ISO FR détecté : %s\n" % name + "\nLe fichier iso a été modifié avec succès\n\n"
            + "Mode actuel : " + shown + CLOSING)


def place_image(context, folder, *parts):
    made = context.fixture("modetoggle-fr")
    return context.place(made.path("image"), folder, *parts), made.facts


def site_bytes(path):
    return {offset: images.read_bytes(path, offset, 4) for offset, _, _ in SITES}


def check_switch(context, folder, image, name, mode, expected_sha256):
    result = context.run(PROGRAM, folder)
    expect_text(result, switched(name, mode), context.runner.encoding)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    check(site_bytes(image) == words(mode), "the four words are not those of %s: %s" % (mode, site_bytes(image)))
    check(os.path.getsize(image) == IMAGE_SIZE, "the image's size changed")
    check(images.file_sha256(image) == expected_sha256, "bytes other than the four words changed")


@scenario("modetoggle_flips_480p_and_back", disk=3 * GiB)
def flips_480p_and_back(context):
    """Two runs: 480i to 480p, then back; only the 16 bytes of the four words ever change."""
    folder = context.scratch(3 * GiB)
    image, facts = place_image(context, folder, "velmora_fr.iso")
    check_switch(context, folder, image, "velmora_fr.iso", "480p", facts["sha256_480p"])
    check_switch(context, folder, image, "velmora_fr.iso", "480i", facts["sha256_480i"])


@scenario("modetoggle_decoys_skipped", disk=3 * GiB)
def decoys_skipped(context):
    """Images of the wrong size or boot path are passed over without a word, and left as they were."""
    folder = context.scratch(3 * GiB)
    source = context.fixture("modetoggle-fr").path("image")
    wrong_size = os.path.join(folder, "a", "short.iso")
    os.makedirs(os.path.dirname(wrong_size))
    images.make_sparse(wrong_size, IMAGE_SIZE - 2048, {BOOT_OFFSET: BOOT_PATH, **words("480i")})
    no_zero = context.place(source, folder, "b", "boot.iso")
    images.patch_bytes(no_zero, BOOT_OFFSET + 21, b"X")  # the 22nd byte of the boot path is not zero
    other_case = context.place(source, folder, "c", "case.ISO")
    images.patch_bytes(other_case, BOOT_OFFSET, b"cdrom0:\\slus_604.18;1\0")
    with open(os.path.join(folder, "small.iso"), "wb") as small:
        small.write(b"\0" * 4096)
    decoys = [wrong_size, no_zero, other_case]
    before = {path: (os.path.getsize(path), os.path.getmtime(path), site_bytes(path)) for path in decoys}

    result = context.run(PROGRAM, folder)
    expect_text(result, BANNER + NOT_FOUND, context.runner.encoding)
    check(result.returncode == 0, "exit status %d" % result.returncode)

    image, facts = place_image(context, folder, "real", "velmora_fr.iso")
    check_switch(context, folder, image, "velmora_fr.iso", "480p", facts["sha256_480p"])
    after = {path: (os.path.getsize(path), os.path.getmtime(path), site_bytes(path)) for path in decoys}
    check(after == before, "a decoy was touched")


@scenario("modetoggle_image_in_subfolder", disk=3 * GiB)
def image_in_subfolder(context):
    """An image below the start folder: only its file name is shown."""
    folder = context.scratch(3 * GiB)
    image, facts = place_image(context, folder, "jeux", "velmora.d", "game.iso")
    check_switch(context, folder, image, "game.iso", "480p", facts["sha256_480p"])


@scenario("modetoggle_extension_in_capitals", disk=3 * GiB)
def extension_in_capitals(context):
    folder = context.scratch(3 * GiB)
    image, facts = place_image(context, folder, "VELMORA.ISO")
    check_switch(context, folder, image, "VELMORA.ISO", "480p", facts["sha256_480p"])


@scenario("modetoggle_no_image", disk=0)
def no_image(context):
    """Nothing to switch: the not-found message, with standard input already closed."""
    folder = context.scratch(0)
    with open(os.path.join(folder, "notes.txt"), "w") as notes:
        notes.write("no disc here")
    result = context.run(PROGRAM, folder, stdin=b"")
    expect_text(result, BANNER + NOT_FOUND, context.runner.encoding)
    check(result.returncode == 0, "exit status %d" % result.returncode)


@scenario("modetoggle_image_held_open", disk=3 * GiB)
def image_held_open(context):
    """Another of our programs holds the image: the library's message, exit 0, the image untouched."""
    if context.runner.name != "native":
        raise Skip("holding a file open for a Windows program needs the Windows sharing of a Windows opener")
    folder = context.scratch(3 * GiB)
    image, facts = place_image(context, folder, "game.iso")
    with open(image, "rb") as holder:
        # The lock every opener of ours takes on Linux: here a reader's, shared.
        fcntl.flock(holder, fcntl.LOCK_SH | fcntl.LOCK_NB)
        result = context.run(PROGRAM, folder)
    expect_text(result, BANNER + "File      game.iso\nError: Impossible to open the file game.iso.",
                context.runner.encoding)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    check(images.file_sha256(image) == facts["sha256_480i"], "the image changed")


@scenario("modetoggle_after_frpatch_velmora", disk=3 * GiB)
def after_frpatch_velmora(context):
    """The French image that frpatch_velmora writes from a US image is the one modetoggle finds,
    next to the US image it skips; two runs flip it one way and back."""
    import velmora  # the patcher's own scenarios place its fixture

    folder = context.scratch(3 * GiB)
    us_image, facts = velmora.place(context, folder, ("game.iso",), "us")
    patched = context.run(velmora.PROGRAM, folder)
    check(patched.returncode == 0, "frpatch_velmora: exit status %d" % patched.returncode)
    french = os.path.join(folder, "game_patched.iso")
    check(os.path.exists(french) and images.file_sha256(french) == facts["french_sha256"],
          "frpatch_velmora did not write the French image")

    # The French image holds whatever its words say; the first run writes the other set.
    first = "480p" if site_bytes(french)[SITES[0][0]] == words("480i")[SITES[0][0]] else "480i"
    second = "480i" if first == "480p" else "480p"
    first_sha256 = sha256_with(french, words(first))
    second_sha256 = sha256_with(french, words(second))
    check_switch(context, folder, french, "game_patched.iso", first, first_sha256)
    check_switch(context, folder, french, "game_patched.iso", second, second_sha256)
    check(images.file_sha256(us_image) == facts["us_sha256"], "the US image changed")
