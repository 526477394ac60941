# Reads a release zip that nobody vouches for, without extracting it: its
# central directory must list exactly the release's files, each once, each a
# regular file within ENTRY_LIMIT bytes, laid end to end with local headers
# that agree; read_release_zip returns their bytes or raises ReleaseError.
import os
import stat
import struct
import zlib

from release_error import ReleaseError, shown

# The files a release packs; the last two only when it was made with them.
REQUIRED_FILES = ("vornelle.exe", "README.md", "LICENSE", "SHA256SUMS")
OPTIONAL_FILES = ("SHA256SUMS.asc", "BUILDINFO")
# No genuine entry comes near this (the README, the largest, is about 20 KB).
ENTRY_LIMIT = 1024 * 1024
ZIP_LIMIT = len(REQUIRED_FILES + OPTIONAL_FILES) * (ENTRY_LIMIT + 1024)

END_RECORD = struct.Struct("<IHHHHIIH")  # end of central directory, 22 bytes
CENTRAL_HEADER = struct.Struct("<IHHHHHHIIIHHHHHII")  # 46 bytes
LOCAL_HEADER = struct.Struct("<IHHHHHIIIHH")  # 30 bytes
END_SIGNATURE = 0x06054B50
CENTRAL_SIGNATURE = 0x02014B50
LOCAL_SIGNATURE = 0x04034B50

STORED, DEFLATED = 0, 8
# General-purpose flag bits that change how an entry reads: encryption (0, 6),
# sizes in a trailing data descriptor (3), patch data (5), masked headers (13).
UNSUPPORTED_FLAGS = 0x0001 | 0x0008 | 0x0020 | 0x0040 | 0x2000
MADE_ON_UNIX = 3
DOS_FOLDER = 0x10


class Entry:
    """One file of the central directory, checked against its local header."""

    def __init__(self, name, flags, method, crc, packed_size, size, header_at):
        self.name, self.flags, self.method, self.crc = name, flags, method, crc
        self.packedSize, self.size, self.headerAt = packed_size, size, header_at
        self.dataAt = None


def read_release_zip(path):
    """The release's files, {name: bytes}, from the zip at path."""
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
    entries, directory_at = central_directory(data)
    check_names(entries)
    check_layout(data, entries, directory_at)
    return {entry.name: entry_bytes(data, entry) for entry in entries}


def central_directory(data):
    """The entries that the directory lists, each a regular file of sane size,
    and where the directory begins."""
    end_at = len(data) - END_RECORD.size
    if end_at < 0:
        raise ReleaseError("not a zip file: too short")
    (signature, disk, directory_disk, on_disk, count, directory_size, directory_at,
     comment_length) = END_RECORD.unpack_from(data, end_at)
    if signature != END_SIGNATURE or comment_length != 0:
        raise ReleaseError("not a release zip: its last bytes are not the end of "
                           "a zip's directory (a comment or data follows it)")
    if disk != 0 or directory_disk != 0 or on_disk != count:
        raise ReleaseError("not a release zip: it spans several disks")
    if directory_at + directory_size != end_at:
        raise ReleaseError("not a release zip: its directory does not end where "
                           "the end record begins")
    entries = []
    at = directory_at
    for _ in range(count):
        if at + CENTRAL_HEADER.size > end_at:
            raise ReleaseError("not a release zip: its directory is cut short")
        (signature, made_by, _needed, flags, method, _time, _date, crc, packed_size,
         size, name_length, extra_length, comment_length, start_disk, _internal,
         external, header_at) = CENTRAL_HEADER.unpack_from(data, at)
        if signature != CENTRAL_SIGNATURE:
            raise ReleaseError("not a release zip: a directory record is damaged")
        name_bytes = data[at + CENTRAL_HEADER.size:at + CENTRAL_HEADER.size + name_length]
        at += CENTRAL_HEADER.size + name_length + extra_length + comment_length
        if at > end_at:
            raise ReleaseError("not a release zip: its directory is cut short")
        name = checked_name(name_bytes)
        if start_disk != 0:
            raise ReleaseError("entry %s: on another disk" % name)
        check_kind(name, made_by, external)
        if flags & UNSUPPORTED_FLAGS:
            raise ReleaseError("entry %s: encrypted or with sizes after its data "
                               "(flags 0x%04x)" % (name, flags))
        if method not in (STORED, DEFLATED):
            raise ReleaseError("entry %s: compressed with method %d (a release "
                               "stores or deflates)" % (name, method))
        if size > ENTRY_LIMIT or packed_size > ENTRY_LIMIT:
            raise ReleaseError("entry %s: larger than the limit of %d bytes a "
                               "release file may have" % (name, ENTRY_LIMIT))
        entries.append(Entry(name, flags, method, crc, packed_size, size, header_at))
    if at != end_at:
        raise ReleaseError("not a release zip: its directory holds more than its "
                           "%d records" % count)
    return entries, directory_at


def checked_name(name_bytes):
    """The entry's name, when it is a plain file name; the reason otherwise."""
    name = shown(name_bytes)
    if not name_bytes:
        raise ReleaseError("entry with an empty name")
    if name_bytes.startswith(b"/") or name_bytes.startswith(b"\\") or b":" in name_bytes:
        raise ReleaseError("entry %s: an absolute path" % name)
    parts = name_bytes.replace(b"\\", b"/").split(b"/")
    if b".." in parts:
        raise ReleaseError("entry %s: a path that climbs out with '..'" % name)
    if len(parts) > 1:
        raise ReleaseError("entry %s: a folder or a file in one; a release holds "
                           "files only" % name)
    return name


def check_kind(name, made_by, external):
    """A regular file: no folder, link, device or pipe."""
    if external & DOS_FOLDER:
        raise ReleaseError("entry %s: a folder, not a regular file" % name)
    if made_by >> 8 == MADE_ON_UNIX:
        mode = external >> 16
        if mode and not stat.S_ISREG(mode):
            kind = "a symbolic link" if stat.S_ISLNK(mode) else (
                "a folder" if stat.S_ISDIR(mode) else "a special file")
            raise ReleaseError("entry %s: %s, not a regular file" % (name, kind))


def check_names(entries):
    """Exactly the release's files, each once."""
    seen = set()
    for entry in entries:
        if entry.name not in REQUIRED_FILES + OPTIONAL_FILES:
            raise ReleaseError("entry %s: not a file a release holds (only %s)"
                               % (entry.name, ", ".join(REQUIRED_FILES + OPTIONAL_FILES)))
        if entry.name in seen:
            raise ReleaseError("entry %s: listed twice" % entry.name)
        seen.add(entry.name)
    for name in REQUIRED_FILES:
        if name not in seen:
            raise ReleaseError("entry %s: missing from the zip" % name)


def check_layout(data, entries, directory_at):
    """Local headers agree with the directory, and the entries fill the file
    from its first byte to the directory, with nothing between them."""
    expected_at = 0
    for entry in sorted(entries, key=lambda e: e.headerAt):
        if entry.headerAt != expected_at:
            raise ReleaseError("entry %s: its local header is not where the entry "
                               "before it ends (bytes hidden between entries)" % entry.name)
        if entry.headerAt + LOCAL_HEADER.size > directory_at:
            raise ReleaseError("entry %s: its local header lies outside the entries"
                               % entry.name)
        (signature, _needed, flags, method, _time, _date, crc, packed_size, size,
         name_length, extra_length) = LOCAL_HEADER.unpack_from(data, entry.headerAt)
        name_at = entry.headerAt + LOCAL_HEADER.size
        local_name = data[name_at:name_at + name_length]
        if (signature != LOCAL_SIGNATURE or local_name != entry.name.encode("ascii")
                or (flags, method, crc, packed_size, size)
                != (entry.flags, entry.method, entry.crc, entry.packedSize, entry.size)):
            raise ReleaseError("entry %s: its local header disagrees with the "
                               "directory" % entry.name)
        entry.dataAt = name_at + name_length + extra_length
        expected_at = entry.dataAt + entry.packedSize
        if expected_at > directory_at:
            raise ReleaseError("entry %s: its data runs into the directory" % entry.name)
    if expected_at != directory_at:
        raise ReleaseError("not a release zip: bytes lie between the last entry "
                           "and the directory")


def entry_bytes(data, entry):
    """The entry's contents, unpacked with its size as the bound."""
    packed = data[entry.dataAt:entry.dataAt + entry.packedSize]
    if entry.method == STORED:
        contents = packed
    else:
        unpacker = zlib.decompressobj(-15)
        try:
            contents = unpacker.decompress(packed, entry.size + 1)
        except zlib.error:
            raise ReleaseError("entry %s: its compressed data is damaged" % entry.name)
        if not unpacker.eof or unpacker.unused_data or unpacker.unconsumed_tail:
            raise ReleaseError("entry %s: its compressed data does not end where "
                               "the directory says" % entry.name)
    if len(contents) != entry.size:
        raise ReleaseError("entry %s: holds %s bytes, not the %d the directory says"
                           % (entry.name, "more" if len(contents) > entry.size
                              else len(contents), entry.size))
    if zlib.crc32(contents) != entry.crc:
        raise ReleaseError("entry %s: its checksum (CRC-32) does not match" % entry.name)
    return contents
