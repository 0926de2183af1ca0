"""What identifies each release of the two games on disc, as the fixtures write it."""

ELVANE_US = dict(size=2599682048, boot_offset=13093328, boot=b"cdrom0:\\SLUS_603.27;1\0",
                 marker_offset=14500752, marker=b"\x82\x62\x82\x81")
ELVANE_EU = dict(size=2669969408, boot_offset=12693144, boot=b"cdrom0:\\SLES_608.92;1\0")
VELMORA_US = dict(size=2801958912, boot_offset=10523560, boot=b"cdrom0:\\SLUS_604.18;1\0")
VELMORA_EU = dict(size=3006791680, boot_offset=10569152, boot=b"cdrom0:\\SLES_609.51;1\0")
VELMORA_FR_SIZE = 2802745344


def identity_stamps(release):
    """The stamps that make an image pass for `release`: boot path and, where there is one, marker."""
    stamps = {release["boot_offset"]: release["boot"]}
    if "marker" in release:
        stamps[release["marker_offset"]] = release["marker"]
    return stamps
