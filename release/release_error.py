# The one way a release check fails: ReleaseError, whose text is one line
# naming what is wrong. shown() makes any text from outside (a file name, a
# tool's words) safe to print on that line: printable ASCII, the rest escaped.


class ReleaseError(Exception):
    pass


def shown(text, limit=200):
    """text (str or bytes) as one printable line, at most about limit long."""
    if isinstance(text, str):
        text = text.encode("utf-8", "surrogateescape")
    out = "".join(chr(b) if 0x20 <= b < 0x7F and b != 0x5C else "\\x%02x" % b for b in text[:limit])
    return out + ("..." if len(text) > limit else "")
