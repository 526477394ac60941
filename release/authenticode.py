# The Authenticode signature of a release's vornelle.exe, read by this file's
# own parsers, never from a tool's printed text: the certificate table must be
# the file's end and hold exactly one signature's encoding, padded to 8 bytes;
# the signed digest must be the file's; the tools give only verdicts (the
# signer's signature holds; it chains to a CA). The encoding is strict DER,
# walked once: definite minimal lengths, bounded size, depth and identifiers;
# no unsigned attributes (no time stamp). unsigned_image() gives the exe as it
# was before signing. Failures raise ReleaseError.
#   authenticode.py check EXE [CA_FILE]    prints one line on the signature
#   authenticode.py strip EXE OUT           writes the exe without its signature
import hashlib
import os
import re
import struct
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from release_error import ReleaseError, shown  # noqa: E402
from tool_run import last_words, run, write_new  # noqa: E402

PE32, PE32_PLUS = 0x10B, 0x20B
SECURITY_DIRECTORY = 4
CERTIFICATE_REVISION = 0x0200
CERTIFICATE_PKCS_SIGNED_DATA = 0x0002
SIGNED_DATA = "1.2.840.113549.1.7.2"
SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
SHA256 = "2.16.840.1.101.3.4.2.1"
# A signature with its certificates is a few KB; no genuine one comes near
# these bounds.
SIGNATURE_LIMIT = 64 * 1024
DEPTH_LIMIT = 24
OID_LIMIT = 64

SEQUENCE, SET, OID, OCTET_STRING, INTEGER, NULL = 0x30, 0x31, 0x06, 0x04, 0x02, 0x05
EXPLICIT_0, IMPLICIT_1 = 0xA0, 0xA1


class PeLayout:
    """Where the parts that a signature changes lie in a PE file."""

    def __init__(self, checksum_at, security_at, table_at, table_size, image_end):
        self.checksumAt, self.securityAt = checksum_at, security_at
        self.tableAt, self.tableSize, self.imageEnd = table_at, table_size, image_end


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def pe_layout(exe):
    try:
        if exe[:2] != b"MZ":
            raise ReleaseError("vornelle.exe: not a Windows program (no MZ header)")
        pe_at = u32(exe, 0x3C)
        if exe[pe_at:pe_at + 4] != b"PE\0\0":
            raise ReleaseError("vornelle.exe: not a Windows program (no PE header)")
        sections, optional_size = u16(exe, pe_at + 6), u16(exe, pe_at + 20)
        optional_at = pe_at + 24
        magic = u16(exe, optional_at)
        if magic not in (PE32, PE32_PLUS):
            raise ReleaseError("vornelle.exe: an optional header of unknown kind 0x%x" % magic)
        count_at = optional_at + (92 if magic == PE32 else 108)
        directories_at = count_at + 4
        security_at = directories_at + 8 * SECURITY_DIRECTORY
        if (u32(exe, count_at) <= SECURITY_DIRECTORY
                or security_at + 8 > optional_at + optional_size):
            raise ReleaseError("vornelle.exe: no room for a security directory")
        table_at, table_size = struct.unpack_from("<II", exe, security_at)
        image_end = 0
        for i in range(sections):
            header = optional_at + optional_size + 40 * i
            raw_size, raw_at = struct.unpack_from("<II", exe, header + 16)
            if raw_size:
                image_end = max(image_end, raw_at + raw_size)
    except struct.error:
        raise ReleaseError("vornelle.exe: its headers are cut short")
    if image_end > len(exe):
        raise ReleaseError("vornelle.exe: its sections run past the end of the file")
    return PeLayout(optional_at + 64, security_at, table_at, table_size, image_end)


def pe_checksum(image, checksum_at):
    """The PE checksum: 16-bit one's-complement sum, skipping the field itself,
    plus the file's length."""
    padded = image + b"\0" * (len(image) % 2)
    words = struct.unpack("<%dH" % (len(padded) // 2), padded)
    total = sum(words) - words[checksum_at // 2] - words[checksum_at // 2 + 1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def is_signed(exe):
    layout = pe_layout(exe)
    return layout.tableAt != 0 or layout.tableSize != 0


# --- DER: definite minimal lengths, each element within its parent ---------


def der_element(data, at, end):
    """(tag, value start, value end) of the element at `at`."""
    if at + 2 > end:
        raise ReleaseError("vornelle.exe: the signature's encoding is cut short")
    tag, first = data[at], data[at + 1]
    if tag & 0x1F == 0x1F:
        raise ReleaseError("vornelle.exe: the signature's encoding uses a long tag")
    length, value_at = first, at + 2
    if first >= 0x80:
        count = first & 0x7F
        value_at += count
        if count == 0:
            raise ReleaseError("vornelle.exe: the signature's encoding has an indefinite length")
        if count > 3 or value_at > end:
            raise ReleaseError("vornelle.exe: the signature's encoding has a bad length")
        length = int.from_bytes(data[at + 2:value_at], "big")
        if data[at + 2] == 0 or length < 0x80:
            raise ReleaseError("vornelle.exe: the signature's encoding has a length that "
                               "is not in its shortest form")
    if value_at + length > end:
        raise ReleaseError("vornelle.exe: the signature's encoding runs past its end")
    return tag, value_at, value_at + length


def der_tree(data):
    """The encoding as one node (tag, start, end, children), walked once:
    within SIGNATURE_LIMIT, nested at most DEPTH_LIMIT deep, each object
    identifier within OID_LIMIT bytes."""
    if len(data) > SIGNATURE_LIMIT:
        raise ReleaseError("vornelle.exe: the signature is larger than the %d bytes one "
                           "can be" % SIGNATURE_LIMIT)
    top = []
    stack = [(top, 0, len(data))]
    while stack:
        children, at, end = stack.pop()
        if at == end:
            continue
        tag, value_at, value_end = der_element(data, at, end)
        node = (tag, value_at, value_end, [])
        children.append(node)
        stack.append((children, value_end, end))
        if tag & 0x20:
            if len(stack) > DEPTH_LIMIT:
                raise ReleaseError("vornelle.exe: the signature's encoding is nested deeper "
                                   "than %d" % DEPTH_LIMIT)
            stack.append((node[3], value_at, value_end))
        elif tag == OID and not 0 < value_end - value_at <= OID_LIMIT:
            raise ReleaseError("vornelle.exe: the signature holds an object identifier of "
                               "%d bytes (at most %d)" % (value_end - value_at, OID_LIMIT))
    if len(top) != 1:
        raise ReleaseError("vornelle.exe: the signature's encoding is not one element")
    return top[0]


def expect(element, tag, what):
    if element[0] != tag:
        raise ReleaseError("vornelle.exe: the signature's %s is not where a signature "
                           "has it" % what)
    return element


def inside(element, tag, what):
    """The children of an element that must have tag."""
    return expect(element, tag, what)[3]


def oid_text(data, element):
    _tag, start, end, _children = expect(element, OID, "object identifier")
    body = data[start:end]
    if not body:
        return ""
    numbers, value = [body[0] // 40, body[0] % 40], 0
    for byte in body[1:]:
        value = value << 7 | byte & 0x7F
        if not byte & 0x80:
            numbers.append(value)
            value = 0
    return ".".join(str(n) for n in numbers)


def sha256_algorithm(data, element, what):
    """An AlgorithmIdentifier that names SHA-256, with no or NULL parameters."""
    parts = inside(element, SEQUENCE, what)
    null_parameters = len(parts) == 2 and parts[1][0] == NULL and parts[1][1] == parts[1][2]
    if not parts or oid_text(data, parts[0]) != SHA256 or len(parts) > 1 + null_parameters:
        raise ReleaseError("vornelle.exe: the signature's %s is not SHA-256 alone" % what)


class Signature:
    """The parts of a signature's encoding that the checks use."""

    def __init__(self, encoding, signed_content, digest):
        self.encoding, self.signedContent, self.digest = encoding, signed_content, digest


def read_signature(encoding):
    """The one PKCS#7 SignedData of an Authenticode signature: SHA-256 only,
    one signer, no unsigned attributes."""
    info = inside(der_tree(encoding), SEQUENCE, "outer sequence")
    if len(info) != 2 or oid_text(encoding, info[0]) != SIGNED_DATA:
        raise ReleaseError("vornelle.exe: the certificate table holds no PKCS#7 signed data")
    explicit = inside(info[1], EXPLICIT_0, "content")
    if len(explicit) != 1:
        raise ReleaseError("vornelle.exe: the signature holds more than one signed data")
    signed = inside(explicit[0], SEQUENCE, "signed data")
    if len(signed) < 4:
        raise ReleaseError("vornelle.exe: the signature's signed data is incomplete")
    expect(signed[0], INTEGER, "version")
    algorithms = inside(signed[1], SET, "digest algorithms")
    if len(algorithms) != 1:
        raise ReleaseError("vornelle.exe: the signature lists %d digest algorithms, "
                           "not SHA-256 alone" % len(algorithms))
    sha256_algorithm(encoding, algorithms[0], "digest algorithm")
    content_info = inside(signed[2], SEQUENCE, "content info")
    if len(content_info) != 2 or oid_text(encoding, content_info[0]) != SPC_INDIRECT_DATA:
        raise ReleaseError("vornelle.exe: the signature does not sign a program's digest")
    wrapped = inside(content_info[1], EXPLICIT_0, "signed content")
    if len(wrapped) != 1:
        raise ReleaseError("vornelle.exe: the signature's signed content is not one element")
    _tag, content_at, content_end, indirect = expect(wrapped[0], SEQUENCE, "signed content")
    if len(indirect) != 2:
        raise ReleaseError("vornelle.exe: the signature's signed content is malformed")
    digest_info = inside(indirect[1], SEQUENCE, "digest")
    if len(digest_info) != 2:
        raise ReleaseError("vornelle.exe: the signature's digest is malformed")
    sha256_algorithm(encoding, digest_info[0], "program digest")
    _tag, digest_at, digest_end, _none = expect(digest_info[1], OCTET_STRING, "digest value")
    signers = inside(signed[-1], SET, "signers")
    if len(signers) != 1:
        raise ReleaseError("vornelle.exe: the signature has %d signers, not one" % len(signers))
    parts = inside(signers[0], SEQUENCE, "signer")
    if len(parts) < 5:
        raise ReleaseError("vornelle.exe: the signature's signer is incomplete")
    sha256_algorithm(encoding, parts[2], "signer's digest algorithm")
    # What is not signed has no place in a release's signature: no time
    # stamp, nor a second signature nested among the unsigned attributes.
    if parts[-1][0] == IMPLICIT_1:
        raise ReleaseError("vornelle.exe: the signature carries unsigned attributes (a "
                           "release's has none, not even a time stamp)")
    # The signed attributes hash the content's value, without its tag and length.
    return Signature(encoding, encoding[content_at:content_end],
                     encoding[digest_at:digest_end])


# --- The certificate table and the signed file ---------------------------


def certificate_table(exe, layout):
    """The signature's encoding: the table is the file's end and holds one
    WIN_CERTIFICATE with exactly that encoding, zero-padded to 8 bytes."""
    at, size = layout.tableAt, layout.tableSize
    if at % 8 or at < layout.imageEnd or at + size != len(exe) or size < 8:
        raise ReleaseError("vornelle.exe: its certificate table is not the file's "
                           "8-byte-aligned end (at %d, %d bytes, file %d bytes)"
                           % (at, size, len(exe)))
    length, revision, kind = struct.unpack_from("<IHH", exe, at)
    if revision != CERTIFICATE_REVISION or kind != CERTIFICATE_PKCS_SIGNED_DATA:
        raise ReleaseError("vornelle.exe: its certificate is not a PKCS#7 signature "
                           "(revision 0x%x, type %d)" % (revision, kind))
    encoding_end = der_element(exe, at + 8, at + size)[2]
    encoding = exe[at + 8:encoding_end]
    padded = 8 + len(encoding) + (-(8 + len(encoding)) % 8)
    if size > padded:
        raise ReleaseError("vornelle.exe: its certificate table holds %d bytes more than "
                           "the signature padded to 8 bytes" % (size - padded))
    if length not in (8 + len(encoding), padded) or size != padded or exe[encoding_end:].strip(b"\0"):
        raise ReleaseError("vornelle.exe: its certificate table is not exactly the signature "
                           "padded to 8 bytes with zeros")
    return encoding


def image_digest(exe, layout):
    """SHA-256 of the file up to its certificate table, without the checksum
    and the security directory: what an Authenticode signature signs."""
    digest = hashlib.sha256()
    digest.update(exe[:layout.checksumAt])
    digest.update(exe[layout.checksumAt + 4:layout.securityAt])
    digest.update(exe[layout.securityAt + 8:layout.tableAt])
    return digest.digest()


def unsigned_image(exe):
    """The exe without its signature: its table cut, the security directory
    zeroed and the checksum made again, as before signing."""
    layout = pe_layout(exe)
    if not is_signed(exe):
        return exe
    certificate_table(exe, layout)
    image = bytearray(exe[:layout.tableAt])
    image[layout.securityAt:layout.securityAt + 8] = bytes(8)
    struct.pack_into("<I", image, layout.checksumAt, pe_checksum(bytes(image), layout.checksumAt))
    return bytes(image)


def check_signature(exe, ca_file=None):
    """One line on a signed exe's signature; ReleaseError when it does not hold."""
    layout = pe_layout(exe)
    if not is_signed(exe):
        raise ReleaseError("vornelle.exe: not signed")
    signature = read_signature(certificate_table(exe, layout))
    if signature.digest != image_digest(exe, layout):
        raise ReleaseError("vornelle.exe: the file's digest is not the one that was signed")
    with tempfile.TemporaryDirectory(prefix="vornelle-signature.") as folder:
        paths = {name: os.path.join(folder, name)
                 for name in ("vornelle.exe", "signature.der", "content", "signer.pem", "ca.pem")}
        for name, data in (("vornelle.exe", exe), ("signature.der", signature.encoding),
                           ("content", signature.signedContent)):
            write_new(paths[name], data)
        code, output = run(["openssl", "smime", "-verify", "-noverify", "-inform", "DER",
                            "-binary", "-in", paths["signature.der"], "-content",
                            paths["content"], "-signer", paths["signer.pem"],
                            "-out", os.devnull])
        if code != 0:
            raise ReleaseError("vornelle.exe: the signer's signature is not valid (openssl: %s)"
                               % shown(last_words(output)))
        code, output = run(["openssl", "x509", "-in", paths["signer.pem"], "-noout",
                            "-subject", "-nameopt", "compat"])
        signer = shown(output.strip().split(b"=", 1)[-1]) if code == 0 else "an unreadable name"
        # Outside what is signed, yet the file's: the signing tool writes it.
        if u32(exe, layout.checksumAt) != pe_checksum(exe, layout.checksumAt):
            raise ReleaseError("vornelle.exe: its PE checksum is not the signed file's")
        if not ca_file:
            return ("intact (SHA-256 %s), signed by %s; no CA given, so the signer is "
                    "not checked" % (signature.digest.hex().upper(), signer))
        with open(ca_file, "rb") as source:
            write_new(paths["ca.pem"], source.read(1024 * 1024))
        code, help_text = run(["osslsigncode", "--help"])
        offline = ["-ignore-cdp"] if b"-ignore-cdp" in help_text else []
        code, output = run(["osslsigncode", "verify", "-CAfile", paths["ca.pem"]] + offline
                           + ["-in", paths["vornelle.exe"]])
        if code != 0:
            # Its versions word the reason differently: "Error: ..." alone on a
            # line, or at the end of OpenSSL's "... Verify error: ...".
            reasons = re.findall(rb"(?:Verify error|Error): *([^\n]*)", output)
            raise ReleaseError("vornelle.exe: the signature does not chain to %s (osslsigncode: %s)"
                               % (shown(os.path.basename(ca_file)),
                                  shown(reasons[0] if reasons else last_words(output))))
        return "valid, signed by %s, chaining to %s" % (signer, shown(os.path.basename(ca_file)))


def main(args):
    try:
        if len(args) in (2, 3) and args[0] == "check":
            with open(args[1], "rb") as file:
                print(check_signature(file.read(), args[2] if len(args) == 3 else None))
        elif len(args) == 3 and args[0] == "strip":
            with open(args[1], "rb") as file:
                write_new(args[2], unsigned_image(file.read()))
        else:
            print("usage: authenticode.py check EXE [CA_FILE] | strip EXE OUT", file=sys.stderr)
            return 2
    except ReleaseError as error:
        print("the Authenticode signature does not hold: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
