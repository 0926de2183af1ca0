"""Scenarios of frpatch_velmora on full-size US and European images, with the real decoder."""

import os
import stat
import threading
import time

import messages
from fixtures import images, releases
from fixtures.velmora import PREPATCH, TRANSLATION
from harness import (GiB, check, expect_files, expect_nothing_found, expect_text, long_start_folder, pipe_named,
                     progress_around, scenario, without_decoder_complaints)

PROGRAM = "frpatch_velmora"


def place(context, folder, parts, release, deltas=(PREPATCH, TRANSLATION)):
    """Copies the US or European image to `parts` below `folder`, with the named deltas beside it."""
    made = context.fixture("velmora")
    image = context.place(made.path(release), folder, *parts)
    for delta in deltas:
        context.place(os.path.join(made.folder, delta), os.path.dirname(image), delta)
    return image, made.facts


def check_unchanged(image, facts, release):
    check(images.file_sha256(image) == facts[release + "_sha256"], "the player's image changed")


def image_right(display, version, delta, context):
    """After a failed stage, the player's image is declared the published dump of `version`."""
    release = releases.VELMORA_US if version == "US" else releases.VELMORA_EU
    return messages.image_right(display, version, release["crc32"], delta, context.runner.decoder_name)


def check_progress(shown, passing=(), last=100, first=0):
    """`first` None: the run starts with a delta stage, whose first look at the output may come after
    the decoder has written its first percent."""
    check(shown, "no progress line")
    check(shown == sorted(shown), "progress went backwards: %s" % shown)
    check((first is None or shown[0] == first) and shown[-1] == last, "progress from %s to %s" % (shown[0], shown[-1]))
    for value in passing:
        check(value in shown, "progress never showed %d %%: %s" % (value, shown))


class Captures:
    """Keeps the bytes of files that the program writes and later removes, by linking each one
    under another name as soon as it appears (the link outlives the program's removal)."""

    def __init__(self, paths, into):
        self.paths = {path: os.path.join(into, os.path.basename(path)) for path in paths}
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.watch)

    def watch(self):
        waiting = dict(self.paths)
        while waiting and not self.done.is_set():
            for path, link in list(waiting.items()):
                try:
                    os.link(path, link)
                    del waiting[path]
                except FileNotFoundError:
                    pass
            time.sleep(0.002)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *_):
        self.done.set()
        self.thread.join()

    def sha256(self, path):
        link = self.paths[path]
        check(os.path.exists(link), "%s never appeared" % os.path.basename(path))
        return images.file_sha256(link)


class DecoderStarts:
    """On the native build, an ./xdelta3 in the image's folder that notes each start (its
    arguments) in a log outside it, then runs the real decoder; elsewhere it notes nothing and
    `expect` checks nothing."""

    def __init__(self, context, folder):
        self.log = None
        self.files = []
        if context.runner.name != "native":
            return
        self.log = os.path.join(context.scratch(0), "starts.log")
        wrapper = os.path.join(folder, "xdelta3")
        with open(wrapper, "w") as script:
            script.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\nexec "%s" "$@"\n' % (self.log, images.xdelta3()))
        os.chmod(wrapper, os.stat(wrapper).st_mode | stat.S_IXUSR)
        self.files = ["xdelta3"]

    def expect(self, folder, runs):
        """`runs`: (source, delta, output) of each start, in order, names in `folder`."""
        if self.log is None:
            return
        seen = []
        if os.path.exists(self.log):
            with open(self.log) as lines:
                seen = [line.rstrip("\n") for line in lines]
        wanted = ["-d -fs %s %s %s" % (os.path.join(folder, source), delta, os.path.join(folder, output))
                  for source, delta, output in runs]
        check(seen == wanted, "decoder started with %s, expected %s" % (seen, wanted))


@scenario("velmora_us_in_subfolder", disk=3 * GiB)
def us_in_subfolder(context):
    """A US image is patched in one stage with the delta beside it; the French image lands there."""
    folder = context.scratch(3 * GiB)
    image, facts = place(context, folder, ("sub", "deeper", "game.iso"), "us")
    result = context.run(PROGRAM, folder)
    image_name = context.display("sub", "deeper", "game.iso")
    output_name = context.display("sub", "deeper", "game_patched.iso")
    shown = expect_text(result, messages.banner("Velmora") + messages.recognised(False, image_name) + messages.PATCHING
                        + messages.success(output_name) + messages.CLOSING, context.runner.encoding)
    check_progress(shown, first=None)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    expect_files(folder, ["sub/deeper/game.iso", "sub/deeper/game_patched.iso", "sub/deeper/" + PREPATCH,
                          "sub/deeper/" + TRANSLATION])
    check(images.file_sha256(os.path.join(folder, "sub", "deeper", "game_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")
    check_unchanged(image, facts, "us")


@scenario("velmora_european_three_stages", disk=9 * GiB)
def european_three_stages(context):
    """Rebuild, pre-patch and translation on one progress line; each image right to the byte, and
    only the French image left."""
    folder = context.scratch(9 * GiB)
    kept = context.scratch(0)
    image, facts = place(context, folder, ("Velmora (EU)", "game.iso"), "european")
    temporary = os.path.join(folder, "Velmora (EU)", "game_temp.iso")
    prepatched = os.path.join(folder, "Velmora (EU)", "game_prepatched.iso")
    with Captures([temporary, prepatched], kept) as captures:
        result = context.run(PROGRAM, folder)
    image_name = context.display("Velmora (EU)", "game.iso")
    output_name = context.display("Velmora (EU)", "game_patched.iso")
    shown = expect_text(result, messages.banner("Velmora") + messages.recognised(True, image_name) + messages.PATCHING
                        + messages.success(output_name) + messages.CLOSING, context.runner.encoding)
    check_progress(shown, passing=(33, 66, 67))
    expect_files(folder, ["Velmora (EU)/game.iso", "Velmora (EU)/game_patched.iso", "Velmora (EU)/" + PREPATCH,
                          "Velmora (EU)/" + TRANSLATION])
    check(captures.sha256(temporary) == facts["rebuilt_sha256"], "the rebuilt image is not the US layout expected")
    check(captures.sha256(prepatched) == facts["us_sha256"], "the pre-patched image is not the US image")
    check(images.file_sha256(os.path.join(folder, "Velmora (EU)", "game_patched.iso")) == facts["french_sha256"],
          "the French image differs from the decoder's own")
    check_unchanged(image, facts, "eu")


@scenario("velmora_missing_translation_delta", disk=3 * GiB)
def missing_translation_delta(context):
    """Without VL1_Patch_v1.xdelta the decoder writes nothing: failure after about five seconds,
    an old French image removed before it started, no French image left."""
    folder = os.path.realpath(context.scratch(3 * GiB))  # as the program sees it
    image, facts = place(context, folder, ("game.iso",), "us", deltas=(PREPATCH,))
    decoder = DecoderStarts(context, folder)
    with open(os.path.join(folder, "game_patched.iso"), "wb") as old:
        old.truncate(releases.VELMORA_FR_SIZE)
    result = without_decoder_complaints(context.run(PROGRAM, folder))
    expect_text(result, messages.banner("Velmora") + messages.recognised(False, "game.iso") + messages.PATCHING
                + messages.failure("game.iso") + image_right("game.iso", "US", TRANSLATION, context)
                + messages.CLOSING, context.runner.encoding)
    shown, _ = progress_around(result, messages.checking("game.iso"), context.runner.encoding)
    check(shown == [], "progress shown without output: %s" % shown)
    check(result.seconds >= 4.5, "gave up after %.1f s" % result.seconds)
    decoder.expect(folder, [("game.iso", TRANSLATION, "game_patched.iso")])
    expect_files(folder, ["game.iso", PREPATCH] + decoder.files)
    check_unchanged(image, facts, "us")


@scenario("velmora_missing_prepatch_delta", disk=3 * GiB)
def missing_prepatch_delta(context):
    """Without VL1_Prepatch.xdelta a European run fails after its rebuild; the decoder is started
    once, and neither the temporary image, the pre-patched image (an old one included) nor a French
    image is left."""
    folder = os.path.realpath(context.scratch(3 * GiB))  # as the program sees it
    image, facts = place(context, folder, ("game.iso",), "european", deltas=(TRANSLATION,))
    decoder = DecoderStarts(context, folder)
    with open(os.path.join(folder, "game_prepatched.iso"), "wb") as old:
        old.truncate(releases.VELMORA_US["size"])
    result = without_decoder_complaints(context.run(PROGRAM, folder))
    expect_text(result, messages.banner("Velmora") + messages.recognised(True, "game.iso") + messages.PATCHING
                + messages.failure("game.iso") + image_right("game.iso", "EU", PREPATCH, context) + messages.CLOSING,
                context.runner.encoding)
    shown, _ = progress_around(result, messages.checking("game.iso"), context.runner.encoding)
    check_progress(shown, last=33)
    time.sleep(2)  # a decoder started late would show by now
    decoder.expect(folder, [("game_temp.iso", PREPATCH, "game_prepatched.iso")])
    expect_files(folder, ["game.iso", TRANSLATION] + decoder.files)
    check_unchanged(image, facts, "eu")


@scenario("velmora_no_image", disk=0)
def no_image(context):
    """Images of the right sizes with another boot path, a small file, a pipe named like an image,
    a start folder too long for the path buffers: each alone, the whole not-found text, nothing
    written, and an end with standard input closed."""
    def image(release, name, boot):
        def fill(folder):
            images.make_sparse(os.path.join(folder, name), release["size"], {release["boot_offset"]: boot})
        return fill

    expect_nothing_found(context, PROGRAM, [
        ("US size, another boot path", image(releases.VELMORA_US, "us.iso", b"cdrom0:\\SLUS_604.19;1\0")),
        ("European size, the US boot path", image(releases.VELMORA_EU, "eu.ISO", b"cdrom0:\\SLUS_604.18;1\0")),
        ("a small file", image({"size": 4096, "boot_offset": 0}, "small.iso", b"")),
        ("a pipe named like an image", pipe_named("game.iso")),
        ("a start folder longer than 254 characters", long_start_folder),
    ], messages.banner("Velmora") + messages.VELMORA_NOT_FOUND + messages.CLOSING)


@scenario("velmora_european_failed_translation", disk=6 * GiB)
def european_failed_translation(context):
    """A European run whose translation stage fails removes all three images it wrote, after a
    pre-patch that reached 66 %; the final stage reads the pre-patched image."""
    folder = os.path.realpath(context.scratch(6 * GiB))  # as the program sees it
    image, facts = place(context, folder, ("game.iso",), "european", deltas=(PREPATCH,))
    decoder = DecoderStarts(context, folder)
    result = without_decoder_complaints(context.run(PROGRAM, folder))
    expect_text(result, messages.banner("Velmora") + messages.recognised(True, "game.iso") + messages.PATCHING
                + messages.failure("game.iso") + image_right("game.iso", "EU", TRANSLATION, context) + messages.CLOSING,
                context.runner.encoding)
    shown, _ = progress_around(result, messages.checking("game.iso"), context.runner.encoding)
    check_progress(shown, passing=(33,), last=66)
    decoder.expect(folder, [("game_temp.iso", PREPATCH, "game_prepatched.iso"),
                            ("game_prepatched.iso", TRANSLATION, "game_patched.iso")])
    expect_files(folder, ["game.iso", PREPATCH] + decoder.files)
    check_unchanged(image, facts, "eu")
