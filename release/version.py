# The program's version as the release tools see it: the first line of the
# file VERSION at the top of the source tree, MAJOR.MINOR (up to four numbers,
# each at most 65535), the rule CMake reads it by (cmake/VornelleVersion.cmake);
# and the release zip's name, which carries it.
#   python3 -I -B version.py [--zip-name]    prints the version, or the zip's name
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
VERSION_TEXT = re.compile(r"^[0-9]+(\.[0-9]+){1,3}$")


def release_version(root=ROOT):
    """The version in root's VERSION; ValueError when it holds none."""
    with open(os.path.join(root, "VERSION"), "rb") as file:
        first = file.read(64).split(b"\n")[0].decode("ascii", "replace")
    if not VERSION_TEXT.match(first) or any(int(part) > 65535 for part in first.split(".")):
        raise ValueError("VERSION holds no version (MAJOR.MINOR, up to four numbers)")
    return first


def zip_name(root=ROOT):
    return "vornelle-%s-win32.zip" % release_version(root)


if __name__ == "__main__":
    if sys.argv[1:] not in ([], ["--zip-name"]):
        sys.exit("usage: version.py [--zip-name]")
    try:
        print(zip_name() if sys.argv[1:] else release_version())
    except (OSError, ValueError) as error:
        sys.exit("version: %s" % error)
