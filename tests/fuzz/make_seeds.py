#!/usr/bin/env python3
"""Writes the hand-made seed answers of corpus/<parser>/: well-formed MMC
answers byte by byte as the command set lays them out, and malformed ones.
Answers recorded from drives sit beside them as qemu-*.bin."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(parser, name, data):
    folder = os.path.join(HERE, "corpus", parser)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name + ".bin"), "wb") as f:
        f.write(bytes(data))


def inquiry(vendor, product, revision=b"2.5+", additional=31, total=36, pad=b" "):
    data = bytearray(max(total, 36))
    data[0:5] = bytes([0x05, 0x80, 0x05, 0x32, additional])
    data[8:16] = vendor.ljust(8, pad)[:8]
    data[16:32] = product.ljust(16, pad)[:16]
    data[32:36] = revision.ljust(4, pad)[:4]
    return data[:total]


def configuration(current, profiles, extra=b""):
    features = bytearray(struct.pack(">HBB", 0, 0x03, 4 * len(profiles)))
    for profile in profiles:
        features += struct.pack(">HBB", profile, 1 if profile == current else 0, 0)
    features += extra
    return bytearray(struct.pack(">IHH", 4 + len(features), 0, current)) + features


def feature(code, data, version=0, current=True, persistent=False):
    flags = (version << 2) | (2 if persistent else 0) | (1 if current else 0)
    return bytearray(struct.pack(">HBB", code, flags, len(data))) + bytes(data)


def features(current, descriptors):
    body = b"".join(descriptors)
    return bytearray(struct.pack(">IHH", 4 + len(body), 0, current)) + body


def disc_info(byte2, length=32, total=34):
    data = bytearray(total)
    struct.pack_into(">H", data, 0, length)
    data[2] = byte2
    if total >= 34:
        data[3:7] = bytes([1, 1, 1, 1])  # first track, sessions, tracks
        data[7] = 0x20  # unrestricted use
    return data


def media_event(code, status, length=6, flags=0x04, supported=0x54):
    return bytearray(struct.pack(">HBB", length, flags, supported)) + bytes([code, status, 0, 0])


def fixed_sense(key, asc, ascq, additional=10, total=18):
    data = bytearray(total)
    data[0] = 0x70
    data[2] = key
    data[7] = additional
    if total > 13:
        data[12] = asc
        data[13] = ascq
    return data


write("inquiry", "cdrom", inquiry(b"QEMU", b"QEMU CD-ROM"))
write("inquiry", "writer-nul-padded", inquiry(b"HL-DT-ST", b"BD-RE  WH16NS40", pad=b"\0"))
write("inquiry", "long-96", inquiry(b"PIONEER", b"BD-RW   BDR-209M", additional=91, total=96))
write("inquiry", "cut-in-product", inquiry(b"VENDOR", b"PRODUCT", additional=15))
write("inquiry", "header-only", inquiry(b"", b"", additional=0, total=5))
write("inquiry", "short", bytes([0x05, 0x80, 0x05]))
write("inquiry", "unprintable", inquiry(b"\x01\x7f\xe9AB", b"\xffCD\x00EF"))

BD_WRITER = [0x43, 0x41, 0x42, 0x40, 0x2B, 0x1B, 0x1A, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11, 0x10, 0x0A, 0x09, 0x08]
write("configuration", "header-dvd", configuration(0x10, [0x10, 0x08])[:8])
write("configuration", "qemu-like-dvd", configuration(0x10, [0x10, 0x08]))
write("configuration", "qemu-like-empty", configuration(0x00, [0x10, 0x08]))
write("configuration", "bd-writer-bd-re", configuration(0x43, BD_WRITER))
write("configuration", "unknown-profile", configuration(0x50, [0x50, 0x51, 0x0002, 0xFFFF]))
write("configuration", "list-cut-by-transfer", configuration(0x08, BD_WRITER)[:30])
write("configuration", "list-length-odd", configuration(0x08, [0x08, 0x09])[:11] + bytes([6, 0, 8, 1, 0, 0, 9, 0, 0]))
write("configuration", "list-past-header", bytearray(struct.pack(">I", 12)) + configuration(0x08, [0x08, 0x09, 0x0A, 0x10])[4:])
write("configuration", "other-feature-first", bytearray(struct.pack(">IHHHBB", 12, 0, 0x08, 0x1E, 0x0B, 0)))
write("configuration", "header-too-small", bytearray(struct.pack(">IHH", 2, 0, 0x08)))
write("configuration", "length-huge", bytearray(struct.pack(">I", 0xFFFFFFFF)) + configuration(0x08, [0x08])[4:])
write("configuration", "many-profiles", configuration(0x0A, list(range(1, 64))))
write("configuration", "with-more-features", configuration(0x08, [0x08, 0x09], extra=struct.pack(">HBBI", 1, 0x0B, 4, 2)))

write("discinfo", "blank-erasable", disc_info(0x10))
write("discinfo", "appendable", disc_info(0x05))
write("discinfo", "complete", disc_info(0x0E))
write("discinfo", "other-random-writable", disc_info(0x1F))
write("discinfo", "data-type-track-resources", disc_info(0x20 | 0x02))
write("discinfo", "three-bytes", disc_info(0x02, length=1, total=3))
write("discinfo", "length-zero", disc_info(0x02, length=0))
write("discinfo", "short", disc_info(0x02)[:2])
write("discinfo", "with-opc-table", disc_info(0x01, length=32 + 8, total=42))

write("gesn", "new-media", media_event(0x02, 0x02))
write("gesn", "tray-open", media_event(0x00, 0x01))
write("gesn", "no-media", media_event(0x00, 0x00))
write("gesn", "removal", media_event(0x03, 0x00))
write("gesn", "no-event-available", bytearray(struct.pack(">HBB", 2, 0x80, 0x54)))
write("gesn", "power-class", media_event(0x00, 0x02, flags=0x02))
write("gesn", "cut", media_event(0x02, 0x02, length=2)[:6])

write("sense", "no-medium", fixed_sense(0x02, 0x3A, 0x00))
write("sense", "becoming-ready", fixed_sense(0x02, 0x04, 0x01))
write("sense", "medium-changed", fixed_sense(0x06, 0x28, 0x00))
write("sense", "invalid-field", fixed_sense(0x05, 0x24, 0x00))
write("sense", "deferred", bytearray([0x71]) + fixed_sense(0x03, 0x11, 0x00)[1:])
write("sense", "descriptor-no-medium", bytearray([0x72, 0x02, 0x3A, 0x00, 0, 0, 0, 0]))
write("sense", "codes-past-length", fixed_sense(0x02, 0x04, 0x01, additional=5))
write("sense", "two-bytes", bytearray([0x70, 0x00]))
write("sense", "unknown-format", bytearray([0x7F, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0]))

PROFILES = feature(0x0000, struct.pack(">HBBHBB", 0x10, 0, 0, 0x08, 1, 0), persistent=True)
CORE_USB = feature(0x0001, struct.pack(">IBBBB", 8, 1, 0, 0, 0), version=2, persistent=True)
SERIAL = feature(0x0108, b"K1A2B3C4", persistent=True)
write("features", "tray-v2", features(0x08, [PROFILES, CORE_USB, feature(0x0003, [0x39, 0, 0, 0], version=2), SERIAL]))
write("features", "slot-v0", features(0x00, [PROFILES, feature(0x0003, [0x09, 0, 0, 0])]))
write("features", "popup-load-bit-v1", features(0x10, [feature(0x0003, [0x5D, 0, 0, 0], version=1)]))
write("features", "one-feature-request", features(0x10, [feature(0x0003, [0x29, 0, 0, 0], version=2)]))
write("features", "removable-no-data", features(0x10, [feature(0x0003, [])]))
write("features", "descriptor-cut", features(0x08, [PROFILES, SERIAL])[:30])
write("features", "descriptor-header-cut", features(0x08, [PROFILES, SERIAL])[:22])
write("features", "padded-past-announced", features(0x08, [PROFILES]) + bytes([0, 3, 0x08, 4, 0x20, 0, 0, 0]))
write("features", "announces-more", bytearray(struct.pack(">I", 4092)) + features(0x08, [PROFILES, CORE_USB])[4:])
write("features", "header-too-small", bytearray(struct.pack(">IHH", 2, 0, 0x08)))
write("features", "header-only", features(0x08, []))
for name in sorted(os.listdir(os.path.join(HERE, "corpus", "configuration"))):
    if name.startswith("qemu-") and "-all" in name:
        with open(os.path.join(HERE, "corpus", "configuration", name), "rb") as f:
            write("features", name[:-4], f.read())


def full_toc(points, cut=None):
    body = b"".join(struct.pack(">BBBBBBBBBBB", 1, 0x14, 0, point, 0, 0, 0, 0, 1, 0, 0) for point in points)
    data = bytearray(struct.pack(">HBB", 2 + len(body), 1, 1)) + body
    return data[:cut] if cut else data


write("toc", "full", full_toc([0xA0, 0xA1, 0xA2, 0x01]))
write("toc", "full-a0-second", full_toc([0xB0, 0xA0, 0xA1, 0xA2]))
write("toc", "full-cut", full_toc([0xA0, 0xA1, 0xA2], cut=14))
write("toc", "no-a0", full_toc([0xA1, 0xA2]))
write("toc", "tracks", bytearray(struct.pack(">HBB", 18, 1, 1)) + bytes([0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0, 0, 0, 0x20, 0]))
write("toc", "header-only", bytearray(struct.pack(">HBB", 2, 1, 1)))
def capabilities(mechanism, read, buffer, write, page_length=0x14, writes=(), descriptors=0):
    page = bytearray(2 + page_length)
    page[0] = 0x2A
    page[1] = page_length
    if len(page) > 6:
        page[6] = mechanism
    for at, value in ((8, read), (12, buffer), (18, write)):
        if at + 2 <= len(page):
            struct.pack_into(">H", page, at, value)
    if writes:
        struct.pack_into(">H", page, 30, len(writes))
        for i, speed in enumerate(writes):
            if 32 + 4 * i + 4 <= len(page):
                struct.pack_into(">H", page, 32 + 4 * i + 2, speed)
    return bytearray(struct.pack(">HBBHH", 6 + descriptors + len(page), 0, 0, 0, descriptors)) + bytes(descriptors) + page


def toc(tracks, lead_out):
    body = b"".join(struct.pack(">BBBBI", 0, 0x14 if data else 0x10, number, 0, start) for number, data, start in tracks)
    body += struct.pack(">BBBBI", 0, 0x14, 0xAA, 0, lead_out)
    return bytearray(struct.pack(">HBB", 2 + len(body), tracks[0][0], tracks[-1][0])) + body


def track_info(number, blank, start, free, size, length=46):
    data = bytearray(48)
    struct.pack_into(">HBB", data, 0, length, number, 1)
    data[6] = 0x40 if blank else 0
    struct.pack_into(">IIII", data, 8, start, 0, free, 0)
    struct.pack_into(">I", data, 24, size)
    return data


def write_speeds(speeds, extra=0):
    body = b"".join(struct.pack(">BBBBIII", 0, 0, 0, 0, 0, read, written) for read, written in speeds)
    return bytearray(struct.pack(">II", 4 + len(body) + extra, 0)) + body


def volume(label, identifier=b"CD001", kind=1):
    data = bytearray(2048)
    data[0] = kind
    data[1:6] = identifier
    data[6] = 1
    data[40:72] = label.ljust(32, b" ")[:32]
    return data


write("capabilities", "qemu-like", capabilities(0x2D, 8800, 2048, 2816))
write("capabilities", "locked-mmc1", capabilities(0x2F, 1412, 256, 706))
write("capabilities", "slot-write-descriptors", capabilities(0x09, 0, 4096, 0, 38, (4234, 7056)))
write("capabilities", "descriptors-past-page", capabilities(0x29, 0, 2048, 0, 34, (2770, 5540, 8310)))
write("capabilities", "block-descriptor", capabilities(0x2D, 8800, 2048, 2816, descriptors=8))
write("capabilities", "cut-before-mechanism", capabilities(0x2D, 0, 0, 0, 4))
write("capabilities", "other-page", bytearray([0, 14, 0, 0, 0, 0, 0, 0, 0x2B, 6, 0, 0, 0, 0, 0, 0]))
write("capabilities", "header-too-small", bytearray([0, 2, 0, 0, 0, 0, 0, 0]))

write("speeds", "two-descriptors", write_speeds([(11080, 5540), (11080, 3324)]))
write("speeds", "none", write_speeds([]))
write("speeds", "cut", write_speeds([(17984, 17984), (8992, 8992)])[:30])
write("speeds", "odd-length", write_speeds([(4584, 2770)], extra=3))

write("mechanism", "door-open", bytearray([0, 0x10, 0, 0, 0, 0, 0, 0]))
write("mechanism", "closed", bytearray([0, 0x00, 0, 0, 0, 0, 0, 0]))
write("mechanism", "short", bytearray([0, 0x10, 0]))

write("toc", "one-data-track", toc([(1, True, 0)], 360000))
write("toc", "mixed", toc([(1, False, 0), (2, False, 15000), (3, True, 30000)], 300000))
write("toc", "cut", toc([(1, False, 0), (2, False, 15000), (3, True, 30000)], 300000)[:20])
write("toc", "first-after-last", bytearray([0, 10, 4, 3, 0, 0x14, 4, 0, 0, 0, 0, 0]))
REPEATED = toc([(1, False, 0), (2, False, 15000), (2, True, 30000)], 300000)
REPEATED[3] = 3  # names a third track, and gives the second twice
write("toc", "track-repeated", REPEATED)
write("toc", "odd-length", bytearray([0, 7, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0, 0]))

write("capacity", "cd", bytearray(struct.pack(">II", 359999, 2048)))
write("capacity", "too-large", bytearray(struct.pack(">II", 0xFFFFFFFF, 2048)))
write("capacity", "blocks-would-read-unknown", bytearray(struct.pack(">II", 0xFFFFFFFE, 0xFFFF0000)))
write("capacity", "block-length-zero", bytearray(struct.pack(">II", 1000, 0)))
write("capacity", "short", bytearray(struct.pack(">I", 359999)))

write("formatcapacity", "unformatted", bytearray(struct.pack(">BBBBIBBBB", 0, 0, 0, 8, 2295104, 1, 0, 8, 0)))
write("formatcapacity", "formatted-more", bytearray(struct.pack(">BBBBIBBBBIBBBB", 0, 0, 0, 16, 2254432, 2, 0, 8, 0, 2297888, 0, 0, 8, 0)))
write("formatcapacity", "empty-list", bytearray([0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 8, 0]))
write("formatcapacity", "short", bytearray([0, 0, 0, 8, 0, 0x23, 0x05]))

write("trackinfo", "blank-cd-r", track_info(1, True, 0, 359846, 359846))
write("trackinfo", "open-dvd-plus-r", track_info(2, True, 1048576, 1246528, 1246528))
write("trackinfo", "without-size", track_info(1, False, 0, 0, 0, length=18)[:24])
write("trackinfo", "cut-before-free", track_info(1, True, 0, 359846, 359846, length=17))

write("volume", "iso9660", volume(b"RKDRV_KERNEL"))
write("volume", "empty-label", volume(b""))
write("volume", "udf-bea01", volume(b"", identifier=b"BEA01", kind=0))
write("volume", "unprintable", volume(b"\x01\xe9LABEL\x7f"))
write("volume", "short", volume(b"CUT")[:60])


def uevent(action, name, *fields, subsystem=b"block", end=b"\0"):
    header = action + b"@/devices/pci0000:00/0000:00:03.0/virtio1/host0/target0:0:0/0:0:0:0/block/" + name
    body = [b"ACTION=" + action, b"DEVPATH=" + header.split(b"@", 1)[1], b"SUBSYSTEM=" + subsystem]
    body += list(fields) + [b"DEVNAME=" + name, b"DEVTYPE=disk", b"SEQNUM=2163", b"MAJOR=11", b"MINOR=0"]
    return bytearray(b"\0".join([header] + body) + end)


write("uevent", "eject-request", uevent(b"change", b"sr0", b"DISK_EJECT_REQUEST=1"))
write("uevent", "media-change", uevent(b"change", b"sr1", b"DISK_MEDIA_CHANGE=1"))
write("uevent", "remove", uevent(b"remove", b"sr0"))
write("uevent", "last-field-unended", uevent(b"change", b"sr0", b"DISK_MEDIA_CHANGE=1", end=b""))
write("uevent", "from-the-device-manager", bytearray(b"libudev\0\xfe\xed\xca\xfe") + uevent(b"change", b"sr0"))
write("uevent", "no-header", bytearray(b"ACTION=change\0DEVNAME=sr0\0DISK_EJECT_REQUEST=1\0"))
write("uevent", "usb", uevent(b"add", b"1-1", subsystem=b"usb"))
