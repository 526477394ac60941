# Whatever zip the release check accepts, every extractor Debian packages
# (UnZip, 7-Zip, bsdtar, Python's zipfile) takes out of it exactly the files
# the check verified: the same names, the same bytes, regular files owned by
# the one who extracts, with no setuid, setgid or group/world-writable bits,
# and nothing more. Zips the check refuses are passed over. Prints one line
# per disagreement; exit 1 on any, 77 (skip) when an extractor is missing and
# the others agree, 0 otherwise.
#   extractors_agree.py RELEASE_DIR WORK_DIR ZIP...
#     RELEASE_DIR: the folder of release_zip.py, the check to hold to
import os
import shutil
import stat
import subprocess
import sys

UNPACK = "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])"
# (name, the commands that may run it, the Debian package, its arguments)
EXTRACTORS = (
    ("unzip", ("unzip",), "unzip", lambda z, d: ["-qq", "-o", z, "-d", d]),
    ("7-Zip", ("7z", "7zz"), "p7zip-full (7zip on Debian 13)",
     lambda z, d: ["x", "-y", "-bd", "-o" + d, "--", z]),
    ("bsdtar", ("bsdtar",), "libarchive-tools", lambda z, d: ["-x", "-f", z, "-C", d]),
    ("Python's zipfile", (sys.executable,), "python3", lambda z, d: ["-I", "-c", UNPACK, z, d]),
)
TIME_LIMIT = 60


def extracted(folder):
    """{name: bytes} of what lies in folder; the reason when it is more
    than plain files of the extractor's own."""
    found = {}
    for top, folders, names in os.walk(folder):
        for name in folders + names:
            path = os.path.join(top, name)
            info = os.lstat(path)
            shown = os.path.relpath(path, folder)
            if not stat.S_ISREG(info.st_mode):
                return "%s is not a regular file (mode %o)" % (shown, info.st_mode)
            if info.st_mode & (stat.S_ISUID | stat.S_ISGID | 0o022):
                return "%s has mode %o" % (shown, stat.S_IMODE(info.st_mode))
            if info.st_uid != os.getuid():
                return "%s is owned by user %d" % (shown, info.st_uid)
            with open(path, "rb") as file:
                found[shown] = file.read()
    return found


def main(release_dir, work, zips):
    os.umask(0o022)  # the modes found are the zip's, not a loose umask's
    sys.path.insert(0, release_dir)
    from release_error import ReleaseError
    from release_zip import read_release_zip
    missing, disagreements, accepted = [], 0, 0
    tools = []
    for name, commands, package, arguments in EXTRACTORS:
        command = next(filter(None, map(shutil.which, commands)), None)
        if command:
            tools.append((name, command, arguments))
        else:
            missing.append("%s (Debian package %s) is missing" % (name, package))
    for number, path in enumerate(zips):
        try:
            verified = read_release_zip(path)
        except ReleaseError:
            continue
        accepted += 1
        for index, (name, command, arguments) in enumerate(tools):
            folder = os.path.join(work, "%d-%d" % (number, index))
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
            try:
                subprocess.run([command] + arguments(os.path.abspath(path), folder),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=TIME_LIMIT, check=False)
                found = extracted(folder)
            except subprocess.TimeoutExpired:
                found = "it ran past %d seconds" % TIME_LIMIT
            if found != verified:
                if isinstance(found, dict):
                    differ = sorted(n for n in set(found) | set(verified)
                                    if found.get(n) != verified.get(n))
                    found = "it gives other bytes for %s" % ", ".join(differ)
                print("%s: %s: %s" % (os.path.basename(path), name, found))
                disagreements += 1
            shutil.rmtree(folder, ignore_errors=True)
    print("%d zips accepted of %d; %d disagreements" % (accepted, len(zips), disagreements))
    if disagreements:
        return 1
    if missing or not accepted:
        print("skipped: %s" % ("; ".join(missing) or "the check accepted no zip"))
        return 77
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
