# The release zip has one layout, written here and nowhere else: the release's
# files in a fixed order, stored (not compressed), with fixed times, modes and
# maker, and nothing more. release_layout() makes it; read_release_zip()
# takes the names and bytes a download holds, makes the zip again from them
# and accepts the download only when it is that zip byte for byte; otherwise
# ReleaseError names the first difference as entry and field.
#   release_zip.py pack FOLDER OUT_ZIP    packs the release's files in FOLDER
#   release_zip.py summed                 prints the names SHA256SUMS lists
import os
import stat
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from release_error import ReleaseError, shown  # noqa: E402

# The release's files in the zip's order; the signature only when it was made.
RELEASE_FILES = ("vornelle.exe", "README.md", "LICENSE", "BUILDINFO", "SHA256SUMS",
                 "SHA256SUMS.asc")
OPTIONAL_FILES = ("SHA256SUMS.asc",)
# The files SHA256SUMS lists, in its order: those packed before it.
SUMMED_FILES = RELEASE_FILES[:RELEASE_FILES.index("SHA256SUMS")]
# No genuine entry comes near this (the largest, the signed exe, is tens of KB).
ENTRY_LIMIT = 1024 * 1024
ZIP_LIMIT = len(RELEASE_FILES) * (ENTRY_LIMIT + 1024)

# 1980-01-01 00:00 in MS-DOS form; a regular file, mode 0644, made on Unix by
# a writer of version 2.0; version 1.0 reads a stored entry.
DOS_TIME, DOS_DATE = 0, (0 << 9) | (1 << 5) | 1
MADE_BY = (3 << 8) | 20
NEEDED = 10
FILE_ATTRIBUTES = (stat.S_IFREG | 0o644) << 16

# Each record as (field, struct code, value); value None is the entry's own.
LOCAL_HEADER = (("signature", "I", 0x04034B50), ("version needed", "H", NEEDED),
                ("flags", "H", 0), ("compression method", "H", 0), ("time", "H", DOS_TIME),
                ("date", "H", DOS_DATE), ("CRC-32", "I", None), ("compressed size", "I", None),
                ("size", "I", None), ("name length", "H", None), ("extra field length", "H", 0))
DIRECTORY_RECORD = (("signature", "I", 0x02014B50), ("made by", "H", MADE_BY),
                    ("version needed", "H", NEEDED), ("flags", "H", 0),
                    ("compression method", "H", 0), ("time", "H", DOS_TIME),
                    ("date", "H", DOS_DATE), ("CRC-32", "I", None),
                    ("compressed size", "I", None), ("size", "I", None),
                    ("name length", "H", None), ("extra field length", "H", 0),
                    ("comment length", "H", 0), ("disk", "H", 0),
                    ("internal attributes", "H", 0), ("external attributes", "I", FILE_ATTRIBUTES),
                    ("local header offset", "I", None))
END_RECORD = (("signature", "I", 0x06054B50), ("disk", "H", 0), ("directory's disk", "H", 0),
              ("entries on this disk", "H", None), ("entries", "H", None),
              ("directory size", "I", None), ("directory offset", "I", None),
              ("comment length", "H", 0))


class Layout:
    """The zip's bytes and, for each field, (start, end, where) naming it."""

    def __init__(self):
        self.data, self.fields = bytearray(), []

    def add(self, where, raw):
        self.fields.append((len(self.data), len(self.data) + len(raw), where))
        self.data += raw

    def record(self, prefix, table, own):
        for field, code, value in table:
            self.add("%s, %s" % (prefix, field),
                     struct.pack("<" + code, own[field] if value is None else value))

    def named(self, at):
        for start, end, where in self.fields:
            if start <= at < end:
                return where
        return "after the end record"


def release_layout(files):
    """The release zip of files {name: bytes}, as a Layout."""
    zip_file, owns = Layout(), []
    for name in (name for name in RELEASE_FILES if name in files):
        data, raw_name = files[name], name.encode("ascii")
        owns.append((name, raw_name, {
            "CRC-32": zlib.crc32(data), "compressed size": len(data), "size": len(data),
            "name length": len(raw_name), "local header offset": len(zip_file.data)}))
        zip_file.record("entry %s: local header" % name, LOCAL_HEADER, owns[-1][2])
        zip_file.add("entry %s: local header, name" % name, raw_name)
        zip_file.add("entry %s: data" % name, data)
    directory_at = len(zip_file.data)
    for name, raw_name, own in owns:
        zip_file.record("entry %s: directory record" % name, DIRECTORY_RECORD, own)
        zip_file.add("entry %s: directory record, name" % name, raw_name)
    zip_file.record("end record", END_RECORD, {
        "entries on this disk": len(owns), "entries": len(owns),
        "directory size": len(zip_file.data) - directory_at, "directory offset": directory_at})
    return zip_file


def read_release_zip(path):
    """The release's files, {name: bytes}, from the zip at path, when it is
    byte for byte the release zip of those files."""
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    except OSError as error:
        raise ReleaseError("cannot read %s: %s" % (shown(path), error.strerror))
    with os.fdopen(fd, "rb") as file:
        info = os.fstat(file.fileno())
        if not stat.S_ISREG(info.st_mode):
            raise ReleaseError("%s is not a regular file" % shown(path))
        if info.st_size > ZIP_LIMIT:
            raise ReleaseError("%s is larger than a release can be (%d bytes)"
                               % (shown(path), ZIP_LIMIT))
        data = file.read(ZIP_LIMIT + 1)
    files = local_entries(data)
    for name in RELEASE_FILES:
        if name not in files and name not in OPTIONAL_FILES:
            raise ReleaseError("entry %s: missing from the zip" % name)
    expected = release_layout(files)
    first = first_difference(expected.data, data)
    if first is not None:
        if first == len(expected.data):
            raise ReleaseError("not the release zip: after the end record: {:,} bytes more"
                               .format(len(data) - len(expected.data)))
        raise ReleaseError("not the release zip: %s%s" % (expected.named(first),
                           ", cut short" if first >= len(data) else ""))
    return files


def local_entries(data):
    """{name: bytes} that the local headers from the zip's first byte give:
    the release's files, each once, within ENTRY_LIMIT."""
    files, at = {}, 0
    header = struct.Struct("<" + "".join(code for _f, code, _v in LOCAL_HEADER))
    while data[at:at + 4] == struct.pack("<I", LOCAL_HEADER[0][2]):
        if at + header.size > len(data):
            break
        fields = dict(zip((f for f, _c, _v in LOCAL_HEADER), header.unpack_from(data, at)))
        name_at = at + header.size
        raw_name = data[name_at:name_at + fields["name length"]]
        name = shown(raw_name)
        if raw_name.decode("ascii", "replace") not in RELEASE_FILES:
            raise ReleaseError("entry %s: not a file a release holds (only %s)"
                               % (name, ", ".join(RELEASE_FILES)))
        if name in files:
            raise ReleaseError("entry %s: listed twice" % name)
        if fields["compressed size"] > ENTRY_LIMIT:
            raise ReleaseError("entry %s: larger than the limit of %d bytes a release "
                               "file may have" % (name, ENTRY_LIMIT))
        data_at = name_at + fields["name length"] + fields["extra field length"]
        files[name] = data[data_at:data_at + fields["compressed size"]]
        at = data_at + fields["compressed size"]
    return files


def first_difference(expected, data):
    """The first offset where data is not expected; None when equal."""
    if expected == data:
        return None
    at, size = 0, min(len(expected), len(data))
    while at < size and expected[at:at + 4096] == data[at:at + 4096]:
        at += 4096
    while at < size and expected[at] == data[at]:
        at += 1
    return at


def main(args):
    if args == ["summed"]:
        print("\n".join(SUMMED_FILES))
        return 0
    if len(args) != 3 or args[0] != "pack":
        print("usage: release_zip.py pack FOLDER OUT_ZIP | summed", file=sys.stderr)
        return 2
    files = {}
    for name in filter(os.path.exists, (os.path.join(args[1], n) for n in RELEASE_FILES)):
        with open(name, "rb") as file:
            files[os.path.basename(name)] = file.read(ENTRY_LIMIT + 1)
    for name in RELEASE_FILES:
        size = len(files.get(name, b""))
        if name not in files and name not in OPTIONAL_FILES or size > ENTRY_LIMIT:
            print("release zip: %s is missing or larger than %d bytes" % (name, ENTRY_LIMIT),
                  file=sys.stderr)
            return 1
    fd = os.open(args[2], os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o644)
    with os.fdopen(fd, "wb") as file:
        file.write(release_layout(files).data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
