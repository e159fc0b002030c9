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
