"""Scenarios of frpatch_elvane on full-size European images: the rebuild into the US layout, then
the European delta, run as a player would."""

import os
import resource
import shlex
import shutil
import signal
import subprocess
import time

import messages
from fixtures import images, releases
from fixtures.elvane import EU_DELTA
from harness import (GiB, Interrupt, Result, Skip, check, collapse_repeats, expect_files, expect_text, file_reaches,
                     progress_around, scenario, split_progress, without_decoder_complaints)

PROGRAM = "frpatch_elvane"
US_SIZE = 2599682048
# The rebuild writes the 2.6 GB temporary image and the decoder the 2.6 GB French image.
DISK = 6 * GiB
# What the probe decoder prints when the patcher starts it, that is when the rebuild has ended.
DECODER_STARTED = "\n[decoder started]\n"


def place_eu(context, folder, image_parts, delta_parts=("patchs", EU_DELTA)):
    made = context.fixture("elvane-eu")
    context.place(made.path("image"), folder, *image_parts)
    context.place(made.path("delta"), folder, *delta_parts)
    return made.facts


def opening(context, image):
    return messages.banner("Elvane") + messages.recognised(True, context.display(*image)) + messages.PATCHING


def install_probe(folder, record):
    """A decoder for the delta's folder (looked for there before the search path) that announces
    itself, hashes the temporary image it is given while the real decoder works on it, and hands
    over to xdelta3. The hash lands in `record` once complete; the patcher may remove the image
    meanwhile, as the probe holds it open."""
    real = images.xdelta3()
    script = "\n".join([
        "#!/bin/sh",
        "# frpatch_elvane runs: xdelta3 -d -fs SOURCE DELTA OUTPUT",
        'exec 3<"$3"',
        "(sha256sum <&3 | cut -d' ' -f1 > %s.part && mv %s.part %s) &" % ((shlex.quote(record),) * 3),
        "exec 3<&-",
        "printf '%s'" % DECODER_STARTED.replace("\n", "\\n"),
        'exec %s "$@"' % shlex.quote(real),
        ""])
    path = os.path.join(folder, "xdelta3")
    with open(path, "w") as probe:
        probe.write(script)
    os.chmod(path, 0o755)
    return path


def wait_for(path, seconds):
    deadline = time.monotonic() + seconds
    while not os.path.exists(path):
        check(time.monotonic() < deadline, "%s did not appear within %d s" % (path, seconds))
        time.sleep(0.2)
    with open(path) as record:
        return record.read().strip()


def check_rebuild_progress(shown):
    """The rebuild shows every whole percentage from 0 to 50, in order (a line is rewritten after
    every append, so a value may stand several times in a row)."""
    shown = collapse_repeats(shown)
    check(shown == list(range(51)), "rebuild progress was %s" % shown)


@scenario("elvane_eu_rebuild_and_patch", disk=DISK)
def rebuild_and_patch(context):
    """The temporary image comes out as the tables say, and the French image byte for byte right."""
    if context.runner.name != "native":
        raise Skip("the probe decoder is a shell script of the native run")
    folder = context.scratch(DISK)
    image = ("Jeux", "Elvane (EU)", "Elvane.iso")
    facts = place_eu(context, folder, image)
    record = os.path.join(context.scratch(0), "temporary.sha256")
    install_probe(os.path.join(folder, "patchs"), record)

    result = context.run(PROGRAM, folder)
    text = result.text(context.runner.encoding)
    check(text.count(DECODER_STARTED) == 1, "the decoder was started %d times" % text.count(DECODER_STARTED))
    before, after = text.split(DECODER_STARTED)
    rebuild_shown, _ = split_progress(before)
    delta_shown, _ = split_progress(after)
    check_rebuild_progress(rebuild_shown)
    check(delta_shown and delta_shown == sorted(delta_shown) and delta_shown[0] >= 50 and delta_shown[-1] == 100,
          "delta progress was %s" % delta_shown)
    output = ("Jeux", "Elvane (EU)", "Elvane_patched.iso")
    expect_text(Result((before + after).encode(context.runner.encoding), result.returncode, result.seconds),
                opening(context, image) + messages.success(context.display(*output)) + messages.CLOSING,
                context.runner.encoding)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    expect_files(folder, ["/".join(image), "/".join(output), "patchs/" + EU_DELTA, "patchs/xdelta3"])
    check(images.file_sha256(os.path.join(folder, *output)) == facts["french_sha256"], "the French image is wrong")
    check(wait_for(record, 180) == facts["temporary_sha256"],
          "the temporary image differs from the one the tables call for")
    check(images.file_sha256(os.path.join(folder, *image)) == facts["image_sha256"], "the player's image changed")


@scenario("elvane_eu_broken_delta", disk=DISK)
def broken_delta(context):
    """A delta cut in half for the right image: the decoder writes part of the output and stops;
    both images go, and the image is declared right (its CRC32 the published one), the delta file
    and the decoder to be checked instead."""
    folder = context.scratch(DISK)
    facts = place_eu(context, folder, ("game.iso",))
    delta = os.path.join(folder, "patchs", EU_DELTA)
    os.truncate(delta, os.path.getsize(delta) // 2)
    result = without_decoder_complaints(context.run(PROGRAM, folder))
    check(result.decoder_complaints, "the decoder did not stop on the cut delta")
    expect_text(result, opening(context, ("game.iso",)) + messages.failure("game.iso")
                + messages.image_right("game.iso", "EU", releases.ELVANE_EU["crc32"], EU_DELTA,
                                       context.runner.decoder_name)
                + messages.CLOSING, context.runner.encoding)
    shown, crc_pass = progress_around(result, messages.checking("game.iso"), context.runner.encoding)
    shown = collapse_repeats(shown)
    check_rebuild_progress(shown[:51])
    check(len(shown) > 51 and shown == sorted(shown) and shown[-1] < 100,
          "the output did not grow part way (progress %s)" % shown[50:])
    check(crc_pass and crc_pass == sorted(crc_pass) and crc_pass[-1] == 100, "CRC32 progress was %s" % crc_pass)
    expect_files(folder, ["game.iso", "patchs/" + EU_DELTA])
    check(images.file_sha256(os.path.join(folder, "game.iso")) == facts["image_sha256"], "the player's image changed")


@scenario("elvane_eu_no_decoder", disk=DISK)
def no_decoder(context):
    """Without a decoder the player is told so before the rebuild: no progress, no temporary image."""
    folder = context.scratch(DISK)
    place_eu(context, folder, ("game.iso",))
    result = context.run(PROGRAM, folder, decoder=False)
    patchs = result.start_directory + context.runner.separator + "patchs"
    shown = expect_text(result, opening(context, ("game.iso",)) + messages.no_decoder(context.runner.decoder_name, patchs)
                        + messages.CLOSING, context.runner.encoding)
    check(shown == [], "progress shown: %s" % shown)
    expect_files(folder, ["game.iso", "patchs/" + EU_DELTA])


def run_with_file_size_limit(context, folder, limit):
    """Runs the patcher with writes to any file refused past `limit` bytes, as a full disk would
    refuse them (the signal that a process gets for this is ignored, so the write just fails)."""
    def limit_files():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    started = time.monotonic()
    completed = subprocess.run([context.runner.executable(PROGRAM)], cwd=folder, input=b"\n", stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, preexec_fn=limit_files, timeout=900)
    return Result(completed.stdout, completed.returncode, time.monotonic() - started)


@scenario("elvane_eu_write_fails", disk=3 * GiB)
def write_fails(context):
    """A temporary image that cannot grow stops the rebuild with the disk-full message, wherever in
    the plan it happens, and nothing is left of it; the decoder is never started."""
    if context.runner.name != "native":
        raise Skip("the write failure is a file size limit that only the native run can set")
    cases = [("in the first zero run", 500000),
             ("inside a 20 MiB range copy", 0x29AB4800 + 30 * 2 ** 20 + 4096),
             ("in the name table area", 0x4FB14800 + 300 * 2 ** 20),
             ("in sound run S3", 0x89D7E000 + 40 * 2 ** 20 + 1000)]
    for what, limit in cases:
        folder = context.scratch(3 * GiB)
        place_eu(context, folder, ("game.iso",))
        result = run_with_file_size_limit(context, folder, limit)
        shown = collapse_repeats(expect_text(result, opening(context, ("game.iso",)) + messages.WRITE_FAILED
                                             + messages.CLOSING, context.runner.encoding))
        reached = round(limit / US_SIZE * 50)
        check(shown == list(range(len(shown))) and len(shown) <= reached + 1, "%s: progress %s" % (what, shown))
        check(result.returncode == 0, "%s: exit status %d" % (what, result.returncode))
        expect_files(folder, ["game.iso", "patchs/" + EU_DELTA])
        shutil.rmtree(folder)


@scenario("elvane_eu_disk_too_small", disk=0, runners=("native", "wine"))
def disk_too_small(context):
    """A volume without room for the temporary and the French image side by side is named before
    anything is written: how much is needed, how much is free, in which folder."""
    folder = context.small_volume(128 * 2 ** 20)
    place_eu(context, folder, ("game.iso",))
    volume = os.statvfs(folder)
    free = volume.f_bavail * volume.f_frsize
    result = context.run(PROGRAM, folder, decoder=False)  # no decoder to place beside the delta, and none needed
    shown = expect_text(result, opening(context, ("game.iso",))
                        + messages.not_enough_space(result.start_directory, 2 * US_SIZE, free) + messages.CLOSING,
                        context.runner.encoding)
    check(shown == [], "progress shown: %s" % shown)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    expect_files(folder, ["game.iso", "patchs/" + EU_DELTA])


@scenario("elvane_eu_interrupted_during_rebuild", disk=3 * GiB, runners=("native", "wine"))
def interrupted_during_rebuild(context):
    """Ctrl-C while the temporary image grows: it goes, the player's image stays as it was, the
    console says so, and the closing prompt still waits for the player at the console."""
    folder = context.scratch(3 * GiB)
    facts = place_eu(context, folder, ("game.iso",))
    temporary = os.path.join(folder, "game_temp.iso")
    result = context.run(PROGRAM, folder, interrupt=Interrupt("ctrl-c", file_reaches(temporary, 200 * 2 ** 20)))
    shown = expect_text(result, opening(context, ("game.iso",)) + messages.INTERRUPTED + messages.CLOSING,
                        context.runner.encoding)
    check(shown and shown[-1] < 50, "not interrupted during the rebuild: progress %s" % shown)
    check(result.returncode == 0, "exit status %d" % result.returncode)
    expect_files(folder, ["game.iso", "patchs/" + EU_DELTA])
    check(images.file_sha256(os.path.join(folder, "game.iso")) == facts["image_sha256"], "the player's image changed")
