# SHA256SUMS.asc read as the packing's gpg writes it, and nothing more: the
# armor of one detached signature (no headers, lines of 64, canonical base64,
# its CRC-24), around exactly one OpenPGP signature packet (version 4, of a
# binary document) of bounded length. signature_packet() returns that packet,
# the only bytes handed on to gpgv; anything else is a ReleaseError of one line.
import base64
import re

from release_error import ReleaseError

ARMOR_CAP = 8192
PACKET_CAP = 4096
LINE = 64
ARMOR = re.compile(rb"\A-----BEGIN PGP SIGNATURE-----\n\n((?:[A-Za-z0-9+/]{%d}\n)*"
                   rb"[A-Za-z0-9+/]{1,%d}={0,2}\n)=([A-Za-z0-9+/]{4})\n"
                   rb"-----END PGP SIGNATURE-----\n\Z" % (LINE, LINE))
# Packets a signature file may be made to hold instead, by name.
OTHER_PACKETS = {1: "an encrypted session key", 4: "a one-pass signature",
                 6: "a public key", 8: "a compressed packet", 10: "a marker packet",
                 11: "a literal data packet", 14: "a public subkey"}


def crc24(data):
    crc = 0xB704CE
    for byte in data:
        crc ^= byte << 16
        for _ in range(8):
            crc <<= 1
            if crc & 0x1000000:
                crc ^= 0x1864CFB
    return crc & 0xFFFFFF


def dearmored(text):
    if len(text) > ARMOR_CAP:
        raise ReleaseError("SHA256SUMS.asc: %d bytes, more than a signature's %d"
                           % (len(text), ARMOR_CAP))
    match = ARMOR.match(text)
    if not match:
        raise ReleaseError("SHA256SUMS.asc: not the armor of one detached signature as gpg "
                           "writes it")
    if any(len(line) > LINE for line in match.group(1).split(b"\n")):
        raise ReleaseError("SHA256SUMS.asc: not the armor of one detached signature as gpg "
                           "writes it")
    body = match.group(1).replace(b"\n", b"")
    try:
        data = base64.b64decode(body, validate=True)
    except ValueError:
        raise ReleaseError("SHA256SUMS.asc: its base64 does not decode")
    if base64.b64encode(data) != body:
        raise ReleaseError("SHA256SUMS.asc: its base64 is not written as gpg writes it")
    if base64.b64decode(match.group(2)) != crc24(data).to_bytes(3, "big"):
        raise ReleaseError("SHA256SUMS.asc: its CRC-24 does not match what it armors")
    return data


def packet_header(data):
    """(tag, header length, body length) of the packet data begins with."""
    ctb = data[0]
    if not ctb & 0x80:
        raise ReleaseError("SHA256SUMS.asc: does not begin with an OpenPGP packet")
    if not ctb & 0x40:  # the old format: the length's size in the low bits
        size = (1, 2, 4, None)[ctb & 3]
        if size is None or len(data) < 1 + size:
            raise ReleaseError("SHA256SUMS.asc: a packet of no definite length")
        return (ctb >> 2) & 0x0F, 1 + size, int.from_bytes(data[1:1 + size], "big")
    first = data[1] if len(data) > 1 else 0xFF
    if first < 192:
        return ctb & 0x3F, 2, first
    if first < 224 and len(data) > 2:
        return ctb & 0x3F, 3, ((first - 192) << 8) + data[2] + 192
    if first == 255 and len(data) > 5:
        return ctb & 0x3F, 6, int.from_bytes(data[2:6], "big")
    raise ReleaseError("SHA256SUMS.asc: a packet of no definite length")


def signature_packet(text):
    """The one signature packet that SHA256SUMS.asc armors."""
    data = dearmored(text)
    tag, header, length = packet_header(data)
    if tag != 2:
        raise ReleaseError("SHA256SUMS.asc: %s, not a signature packet"
                           % OTHER_PACKETS.get(tag, "a packet of tag %d" % tag))
    if length > PACKET_CAP:
        raise ReleaseError("SHA256SUMS.asc: a packet of %d bytes, more than a signature's %d"
                           % (length, PACKET_CAP))
    if header + length != len(data):
        raise ReleaseError("SHA256SUMS.asc: holds %s than one signature packet"
                           % ("more" if header + length < len(data) else "less"))
    body = data[header:]
    if len(body) < 2 or body[0] != 4 or body[1] != 0x00:
        raise ReleaseError("SHA256SUMS.asc: not a version 4 signature of a binary document")
    return data
