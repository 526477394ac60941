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


# --- Zips written here field by field: the packing's layout (stored, 1980,
# mode 0644, made on Unix) unless an entry's options say otherwise ---------

MADE_ON_UNIX = 3 << 8 | 20


def local_header(name, data, options):
    extra = options.get("extra", b"")
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0, 0, 0, 0x21, zlib.crc32(data),
                       len(data), len(data), len(name), len(extra)) + name + extra


def directory_record(name, data, at, options, comment=b""):
    extra = options.get("extra", b"")
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, options.get("made by", MADE_ON_UNIX),
                       10, 0, 0, 0, 0x21, zlib.crc32(data), len(data), len(data), len(name),
                       len(extra), len(comment), 0, 0, options.get("mode", 0o100644) << 16,
                       at) + name + extra + comment


def end_record(count, size, at):
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, size, at, 0)


def write_zip(path, entries, last_comment=None):
    """entries: (name, bytes[, options]) in order, duplicates allowed;
    last_comment(at, offsets) gives the last directory record's comment,
    which lies at offset at."""
    entries = [(e[0].encode(), e[1], e[2] if len(e) > 2 else {}) for e in entries]
    body, offsets = b"", []
    for name, data, options in entries:
        offsets.append(len(body))
        body += local_header(name, data, options) + data
    directory = b"".join(directory_record(name, data, at, options)
                         for (name, data, options), at in zip(entries[:-1], offsets))
    name, data, options = entries[-1]
    comment = b""
    if last_comment:
        at = len(body) + len(directory) + len(directory_record(name, data, 0, options))
        comment = last_comment(at, offsets)
    directory += directory_record(name, data, offsets[-1], options, comment)
    with open(path, "wb") as file:
        file.write(body + directory + end_record(len(entries), len(directory), len(body)))


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
    """node: [tag, bytes or child nodes]; [None, bytes] stands as it is."""
    tag, value = node
    if tag is None:
        return value
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
    return [(n, b"/dev/zero", {"mode": stat.S_IFLNK | 0o777}) if n == "vornelle.exe" else (n, d)
            for n, d in files.items()]


def oversized(files, _marker):
    return [(n, b"\0" * (2 * 1024 * 1024) if n == "README.md" else d) for n, d in files.items()]


def reordered_sums(files, _marker):
    """SHA256SUMS with every hash right, its lines in another order."""
    resum(files)
    files["SHA256SUMS"] = b"".join(reversed(files["SHA256SUMS"].splitlines(keepends=True)))
    return list(files.items())


def buildinfo_line_ends(files, _marker):
    """BUILDINFO with Windows line ends, its SHA256SUMS made again."""
    files["BUILDINFO"] = files["BUILDINFO"].replace(b"\n", b"\r\n")
    resum(files)
    return list(files.items())


def deflated(files, _marker):
    """The genuine files, packed by another tool: compressed, its own fields."""
    def write(path):
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
            for name, data in files.items():
                info = zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0))
                info.external_attr = (stat.S_IFREG | 0o644) << 16
                archive.writestr(info, data, zipfile.ZIP_DEFLATED)
    return write


def extra_field(tag, data):
    return struct.pack("<HH", tag, len(data)) + data


def renamed_readme(files, _marker):
    """An extra field giving README.md's name in Unicode as vornelle.exe."""
    unicode_path = extra_field(0x7075, struct.pack("<BI", 1, zlib.crc32(b"README.md"))
                               + b"vornelle.exe")
    return [(n, d, {"extra": unicode_path}) if n == "README.md" else (n, d)
            for n, d in files.items()]


def foreign_link(files, _marker):
    """LICENSE marked a symbolic link by a maker other than Unix (BeOS)."""
    return [(n, d, {"made by": 16 << 8 | 20, "mode": stat.S_IFLNK | 0o777})
            if n == "LICENSE" else (n, d) for n, d in files.items()]


def setuid_exe(files, _marker):
    """vornelle.exe setuid and world-writable, owned by user and group 1234."""
    owner = extra_field(0x7875, struct.pack("<BBIBI", 1, 4, 1234, 4, 1234))
    return [(n, d, {"mode": stat.S_IFREG | 0o4777, "extra": owner})
            if n == "vornelle.exe" else (n, d) for n, d in files.items()]


def hidden_directory(files, _marker):
    """A zip64 end record and locator in the last directory record's comment,
    pointing to a second directory there whose vornelle.exe differs."""
    other = bytearray(files["vornelle.exe"])
    other[0x400:0x410] = bytes(b ^ 0xFF for b in other[0x400:0x410])
    other = bytes(other)
    entries = list(files.items())

    def comment(at, offsets):
        hidden = local_header(b"vornelle.exe", other, {}) + other
        directory = b"".join(directory_record(n.encode(), other if n == "vornelle.exe" else d,
                                              at if n == "vornelle.exe" else offset, {})
                             for (n, d), offset in zip(entries, offsets))
        directory_at = at + len(hidden)
        end64_at = directory_at + len(directory)
        end64 = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, MADE_ON_UNIX, 45, 0, 0,
                            len(entries), len(entries), len(directory), directory_at)
        locator = struct.pack("<IIQI", 0x07064B50, 0, end64_at, 1)
        return hidden + directory + end64 + locator
    return entries, comment


def unsigned_attribute(attribute):
    """The attribute added to the exe's signer as an unsigned one."""
    def case(files, _marker):
        tree = signature_tree(files["vornelle.exe"])
        signer = tree[1][1][1][0][1][-1][1][0]
        signer[1].append([0xA1, [attribute]])
        files["vornelle.exe"] = with_table(files["vornelle.exe"], der_encode(tree))
        resum(files)
        return list(files.items())
    return case


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


def long_oid(size):
    return [0x06, b"\x2b" + b"\x81" * (size - 2) + b"\x01"]


def time_stamp(value):
    """A counter-signature attribute (a time stamp's type) holding value."""
    return [0x30, [[0x06, bytes.fromhex("2a864886f70d010906")], [0x31, [value]]]]


def nested(depth):
    node = [0x05, b""]
    for _ in range(depth):
        node = [0x30, [node]]
    return node


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
    "renamed-readme": renamed_readme,
    "foreign-link": foreign_link,
    "setuid-exe": setuid_exe,
    "hidden-directory": hidden_directory,
    "megabyte-oid": unsigned_attribute([0x30, [long_oid(1000 * 1000), [0x31, []]]]),
    "long-oid-in-time-stamp": unsigned_attribute(time_stamp(long_oid(200))),
    "deep-time-stamp": unsigned_attribute(time_stamp(nested(40))),
    "time-stamp-attribute": unsigned_attribute(time_stamp([0x05, b""])),
    "long-form-length-in-time-stamp":
        unsigned_attribute(time_stamp([None, b"\x04\x82\x00\x05hello"])),
    "reordered-sums": reordered_sums,
    "buildinfo-line-ends": buildinfo_line_ends,
    "deflated": deflated,
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
    if callable(entries):
        entries(out)
    else:
        write_zip(out, *(entries if isinstance(entries, tuple) else (entries,)))


if __name__ == "__main__":
    main(*sys.argv[1:])
