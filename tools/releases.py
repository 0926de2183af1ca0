"""What identifies each release of the two games on disc, as the fixtures write it, with the
published CRC32 of each release's whole image (the fixtures forge it)."""

ELVANE_US = dict(size=2599682048, boot_offset=13093328, boot=b"cdrom0:\\SLUS_603.27;1\0",
                 marker_offset=14500752, marker=b"\x82\x62\x82\x81", crc32=0x5B0C3A71)
ELVANE_EU = dict(size=2669969408, boot_offset=12693144, boot=b"cdrom0:\\SLES_608.92;1\0", crc32=0xC24E9D06)
VELMORA_US = dict(size=2801958912, boot_offset=10523560, boot=b"cdrom0:\\SLUS_604.18;1\0", crc32=0x7E2A91C5)
VELMORA_EU = dict(size=3006791680, boot_offset=10569152, boot=b"cdrom0:\\SLES_609.51;1\0", crc32=0x93D60B4F)
VELMORA_FR_SIZE = 2802745344


def identity_stamps(release):
    """The stamps that make an image pass for `release`: boot path and, where there is one, marker."""
    stamps = {release["boot_offset"]: release["boot"]}
    if "marker" in release:
        stamps[release["marker_offset"]] = release["marker"]
    return stamps
