# Makes one hostile release from a genuine one, as an attacker who holds the
# genuine zip (but not its keys) would: each case is one attack on the release
# check. Commands that an attack would have run write MARKER, so a test can
# show that none ran.
#   hostile_release.py CASE GENUINE_ZIP OUT_ZIP MARKER [GNUPGHOME ATTACKER_KEY]
import base64
import hashlib
import os
import stat
import struct
import subprocess
import sys
import zipfile
import zlib

LISTED = ("vornelle.exe", "README.md", "LICENSE", "BUILDINFO")


def read_zip(path):
    with zipfile.ZipFile(path) as archive:
        return {info.filename: archive.read(info) for info in archive.infolist()}


def resum(files, extra=()):
    """SHA256SUMS made again for the changed files; the GPG signature no
    longer fits it, so it goes."""
    names = [n for n in LISTED if n in files] + list(extra)
    files["SHA256SUMS"] = b"".join(b"%s  %s\n" % (hashlib.sha256(files[n]).hexdigest().encode(),
                                                  n.encode()) for n in names)
    files.pop("SHA256SUMS.asc", None)


def write_zip(path, entries):
    """entries: (name, bytes[, unix mode]) in order, duplicates allowed."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for entry in entries:
            info = zipfile.ZipInfo(entry[0], (1980, 1, 1, 0, 0, 0))
            info.create_system = 3
            info.external_attr = (entry[2] if len(entry) > 2 else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, entry[1])


# --- DER and the certificate table, parsed here on their own ------------------


def der_parse(data, at=0):
    tag, first = data[at], data[at + 1]
    if first < 0x80:
        length, start = first, at + 2
    else:
        count = first & 0x7F
        length, start = int.from_bytes(data[at + 2:at + 2 + count], "big"), at + 2 + count
    value = data[start:start + length]
    if tag & 0x20:
        children, inner = [], 0
        while inner < len(value):
            child, inner = der_parse(value, inner)
            children.append(child)
        return [tag, children], start + length
    return [tag, value], start + length


def der_encode(node):
    tag, value = node
    body = b"".join(der_encode(child) for child in value) if isinstance(value, list) else value
    if len(body) < 0x80:
        length = bytes([len(body)])
    else:
        raw = len(body).to_bytes((len(body).bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(raw)]) + raw
    return bytes([tag]) + length + body


def pe_fields(exe):
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", exe, optional)[0]
    security = optional + (96 if magic == 0x10B else 112) + 8 * 4
    return optional + 64, security


def checksum(image, checksum_at):
    padded = image + b"\0" * (len(image) % 2)
    total = 0
    for i in range(0, len(padded), 2):
        if i in (checksum_at, checksum_at + 2):
            continue
        total += padded[i] | padded[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(image)


def with_table(exe, encoding, extra=b""):
    """The exe with a certificate table holding encoding and then extra,
    its directory and checksum made to fit, as a signing tool would."""
    checksum_at, security_at = pe_fields(exe)
    table_at = struct.unpack_from("<I", exe, security_at)[0]
    length = 8 + len(encoding) + len(extra)
    padded = length + (-length % 8)
    table = struct.pack("<IHH", padded, 0x0200, 2) + encoding + extra + b"\0" * (padded - length)
    image = bytearray(exe[:table_at] + table)
    struct.pack_into("<II", image, security_at, table_at, len(table))
    struct.pack_into("<I", image, checksum_at, checksum(bytes(image), checksum_at))
    return bytes(image)


def signature_tree(exe):
    _checksum_at, security_at = pe_fields(exe)
    table_at = struct.unpack_from("<I", exe, security_at)[0]
    return der_parse(exe, table_at + 8)[0]


# --- The cases -------------------------------------------------------------------


def injected_digest_algorithm(files, marker):
    """An AlgorithmIdentifier added to the signature's digestAlgorithms, which
    the signature does not cover, carrying a line that a shell would run."""
    tree = signature_tree(files["vornelle.exe"])
    signed_data = tree[1][1][1][0]
    oid = bytes.fromhex("060a2b060104018237020104")  # 1.3.6.1.4.1.311.2.1.4
    text = ("x\nPATH[$(>%s)] 1 1" % marker).encode()  # no space: read splits on it
    signed_data[1][1][1].append([0x30, [[0x06, oid[2:]], [0x0C, text]]])
    files["vornelle.exe"] = with_table(files["vornelle.exe"], der_encode(tree))
    resum(files)
    return list(files.items())


def padded_table(files, _marker):
    tree = signature_tree(files["vornelle.exe"])
    files["vornelle.exe"] = with_table(files["vornelle.exe"], der_encode(tree), b"ATTACKER")
    resum(files)
    return list(files.items())


def changed_readme(files, _marker):
    files["README.md"] += b"\nDownload the update from a site of the attacker's.\n"
    resum(files)
    return list(files.items())


def attacker_signed(files, marker, gnupg=None, attacker=None):
    entries = changed_readme(files, marker)
    files = dict(entries)
    signature = subprocess.run(
        ["gpg", "--batch", "--no-tty", "--pinentry-mode", "loopback", "--passphrase", "",
         "--local-user", attacker, "--armor", "--detach-sign", "--output", "-"],
        input=files["SHA256SUMS"], stdout=subprocess.PIPE, check=True,
        env=dict(os.environ, GNUPGHOME=gnupg)).stdout
    return entries + [("SHA256SUMS.asc", signature)]


def planted_library(files, _marker):
    files["README.md"] += b"\nKeep uxtheme.dll beside the program.\n"
    files["uxtheme.dll"] = b"MZ planted"
    resum(files, ["uxtheme.dll"])
    return list(files.items())


def extra_entry(name):
    def case(files, marker):
        return list(files.items()) + [(name.replace("MARKER", marker), b"read me first\n")]
    return case


def second_exe(files, _marker):
    other = bytearray(files["vornelle.exe"])
    other[0x400] ^= 1
    return list(files.items()) + [("vornelle.exe", bytes(other))]


def linked_exe(files, _marker):
    return [(n, b"/dev/zero", stat.S_IFLNK | 0o777) if n == "vornelle.exe" else (n, d)
            for n, d in files.items()]


def oversized(files, _marker):
    return [(n, b"\0" * (2 * 1024 * 1024) if n == "README.md" else d) for n, d in files.items()]


# --- The signature file, armored here on its own ---------------------------------


def dearmor(text):
    lines = text.decode().split("\n")
    body = lines[lines.index("") + 1:]
    return base64.b64decode("".join(line for line in body if line and line[0] not in "=-"))


def crc24(data):
    crc = 0xB704CE
    for byte in data:
        crc ^= byte << 16
        for _ in range(8):
            crc = (crc << 1) ^ (0x1864CFB if crc & 0x800000 else 0)
    return crc & 0xFFFFFF


def armor(data):
    encoded = base64.b64encode(data).decode()
    lines = [encoded[i:i + 64] for i in range(0, len(encoded), 64)]
    crc = base64.b64encode(crc24(data).to_bytes(3, "big")).decode()
    return ("-----BEGIN PGP SIGNATURE-----\n\n%s\n=%s\n-----END PGP SIGNATURE-----\n"
            % ("\n".join(lines), crc)).encode()


def packet(tag, body):
    """A new-format OpenPGP packet with a five-octet length."""
    return bytes([0xC0 | tag, 0xFF]) + struct.pack(">I", len(body)) + body


def signature_file(change):
    def case(files, _marker):
        files["SHA256SUMS.asc"] = change(files["SHA256SUMS.asc"])
        return list(files.items())
    return case


def compressed_copies(asc, copies=10000):
    """One compressed packet (raw deflate) holding the signature packet many times."""
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    stream = deflate.compress(dearmor(asc) * copies) + deflate.flush()
    return armor(packet(8, b"\x01" + stream))


CASES = {
    "digest-algorithm-injection": injected_digest_algorithm,
    "padded-certificate-table": padded_table,
    "changed-readme": changed_readme,
    "attacker-key": attacker_signed,
    "planted-library": planted_library,
    "dot-file": extra_entry(".README-FIRST.txt"),
    "dot-folder": extra_entry(".hidden/run `touch MARKER`.txt"),
    "option-e": extra_entry("-eREADME.md"),
    "option-help": extra_entry("--help"),
    "second-exe": second_exe,
    "linked-exe": linked_exe,
    "oversized": oversized,
    "signature-bomb": signature_file(compressed_copies),
    "signature-compressed": signature_file(lambda asc: compressed_copies(asc, 1)),
    "signature-twice": signature_file(lambda asc: armor(dearmor(asc) * 2)),
    "signature-after-marker": signature_file(lambda asc: armor(packet(10, b"PGP") + dearmor(asc))),
    "signature-text-after": signature_file(lambda asc: asc + b"Run update.sh first.\n"),
}


def local_header_disagrees(out):
    """The local header of README.md names another file than the directory."""
    with open(out, "r+b") as file:
        data = bytearray(file.read())
        at = data.index(b"PK\x03\x04")
        while data[at + 30:at + 30 + 9] != b"README.md":
            at = data.index(b"PK\x03\x04", at + 4)
        data[at + 30:at + 39] = b"README.mD"
        file.seek(0)
        file.write(data)


def main(case, genuine, out, marker, gnupg=None, attacker=None):
    files = read_zip(genuine)
    if case == "local-header-disagrees":
        write_zip(out, list(files.items()))
        local_header_disagrees(out)
        return
    make = CASES[case]
    entries = make(files, marker, gnupg, attacker) if case == "attacker-key" else make(files, marker)
    write_zip(out, entries)


if __name__ == "__main__":
    main(*sys.argv[1:])
