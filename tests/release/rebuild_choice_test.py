#!/usr/bin/python3 -B
# Where the release check builds the commit again, without making a root:
# here when the machine's tools are the recorded ones, in a root of the
# recorded Debian release when they differ, not at all with REBUILD=no (and
# "verified" then says so); the one line for a version the mirror no longer
# holds, for a machine that cannot make a root and for a BUILDINFO that does
# not record its Debian release. The REBUILD=no case checks a real release
# zip, packed here from the build's vornelle.exe.
#   rebuild_choice_test.py SOURCE_DIR EXE WORK_PARENT
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE, EXE, PARENT = (os.path.abspath(a) for a in sys.argv[1:4])
WORK = None  # a folder of this run's own under PARENT
sys.path.insert(0, os.path.join(SOURCE, "release"))
import buildinfo  # noqa: E402
import root_rebuild  # noqa: E402
from release_zip import SUMMED_FILES, read_release_zip, release_layout  # noqa: E402
from version import zip_name  # noqa: E402
from release_error import ReleaseError  # noqa: E402

OURS = {"cmake": "3.25.1-1", "binutils-mingw-w64-i686": "2.40-2+10.4"}
SAME = ("commit: %s\npackage cmake: 3.25.1-1\npackage binutils-mingw-w64-i686: 2.40-2+10.4\n"
        % ("0" * 40))
OTHER = SAME.replace("3.25.1-1", "3.31.6-2")
DEBIAN = "debian: bookworm, archive dated 2026-07-11T10:16:37Z\n"


def records(text):
    """BUILDINFO's records of text, line by line, as the check reads them."""
    if text is None:
        return None
    found = []
    for line in text.splitlines():
        kinds = zip(buildinfo.LINE_KINDS, buildinfo.LINE_PATTERNS)
        found.append(next((kind[0], m.groupdict()) for kind, pattern in kinds
                          for m in [pattern.fullmatch(line)] if m))
    return found


class Choice(unittest.TestCase):
    def test_where_the_commit_is_built(self):
        cases = [  # (recorded BUILDINFO, REBUILD, where)
            (None, "", root_rebuild.HERE_BUILD),
            (SAME, "", root_rebuild.HERE_BUILD),
            (SAME, "auto", root_rebuild.HERE_BUILD),
            (OTHER, "", root_rebuild.IN_ROOT),
            (OTHER, "auto", root_rebuild.IN_ROOT),
            (SAME, "root", root_rebuild.IN_ROOT),
            (OTHER, "no", root_rebuild.NOT_REBUILT),
            (SAME, "no", root_rebuild.HERE_BUILD),
            (None, "no", root_rebuild.HERE_BUILD),
        ]
        for recorded, rebuild, where in cases:
            with self.subTest(recorded=recorded, rebuild=rebuild):
                self.assertEqual(root_rebuild.choose(records(recorded), OURS, rebuild), where)

    def test_an_unknown_rebuild_value_is_refused(self):
        for value in ("yes", "No", "--root", "root "):
            with self.subTest(value=value), self.assertRaises(ReleaseError) as raised:
                root_rebuild.choose(records(OTHER), OURS, value)
            self.assertIn("is not auto, root or no", str(raised.exception))


class OneLine(unittest.TestCase):
    def test_a_version_the_mirror_lacks_names_it_and_a_snapshot_mirror(self):
        line = root_rebuild.missing_line([("cmake", "3.25.1-1"), ("mingw-w64-common", "10.0.0-3")],
                                         "bookworm", "2026-07-11T22:16:37Z",
                                         "http://deb.example.org/debian")
        self.assertNotIn("\n", line)
        for part in ("cmake 3.25.1-1, mingw-w64-common 10.0.0-3", "http://deb.example.org/debian",
                     "set REBUILD_MIRROR to a snapshot mirror",
                     "ending in /archive/debian/20260712T011637Z/"):
            self.assertIn(part, line)

    def test_a_machine_that_cannot_make_a_root_says_what_it_lacks(self):
        # This test runs as root where debootstrap is: what it lacks is
        # stood in for.
        cases = [  # (euid, debootstrap found, lacking named, not named)
            (1000, "/usr/sbin/debootstrap", "needs root;", "debootstrap (apt"),
            (0, None, "needs debootstrap (apt-get install debootstrap)", "needs root"),
            (1000, None, "needs root and debootstrap", None),
        ]
        saved = os.geteuid, shutil.which
        try:
            for euid, found, named, not_named in cases:
                with self.subTest(euid=euid, found=found):
                    os.geteuid = lambda: euid
                    shutil.which = lambda *args, **kwargs: found
                    with self.assertRaises(ReleaseError) as raised:
                        root_rebuild.root_build(SOURCE, "0" * 40, records(OTHER + DEBIAN), OURS, "",
                                                WORK)
                    line = str(raised.exception)
                    self.assertNotIn("\n", line)
                    self.assertIn("cmake 3.31.6-2 recorded, 3.25.1-1 here", line)
                    self.assertIn(named, line)
                    self.assertIn("REBUILD=no checks the rest", line)
                    if not_named:
                        self.assertNotIn(not_named, line)
        finally:
            os.geteuid, shutil.which = saved

    def test_no_root_is_made_for_a_buildinfo_without_its_debian_release(self):
        with self.assertRaises(ReleaseError) as raised:
            root_rebuild.root_build(SOURCE, "0" * 40, records(OTHER), OURS, "", WORK)
        self.assertIn("does not record the Debian release", str(raised.exception))
        self.assertIn("REBUILD=no", str(raised.exception))


def release_recording(text_change, zip_path):
    """A release zip of EXE packed by the project's own tool, its BUILDINFO
    changed by text_change and SHA256SUMS made again to fit; its BUILDINFO."""
    dist = os.path.join(WORK, "dist")
    subprocess.run([os.path.join(SOURCE, "release", "pack.sh"), EXE, dist], cwd=SOURCE,
                   check=True, stdout=subprocess.DEVNULL)
    files = read_release_zip(os.path.join(dist, zip_name(SOURCE)))
    files["BUILDINFO"] = text_change(files["BUILDINFO"].decode()).encode()
    files["SHA256SUMS"] = b"".join(
        b"%s  %s\n" % (hashlib.sha256(files[n]).hexdigest().encode(), n.encode())
        for n in SUMMED_FILES)
    with open(zip_path, "wb") as archive:
        archive.write(release_layout(files).data)
    return files["BUILDINFO"].decode()


class NotRebuilt(unittest.TestCase):
    def test_rebuild_no_checks_the_rest_and_says_the_exe_was_not_rebuilt(self):
        zip_path = os.path.join(WORK, "other-tools.zip")
        buildinfo = release_recording(lambda text: text.replace("package cmake: ",
                                                                "package cmake: 0.0-other~"),
                                      zip_path)
        commit = re.search(r"^commit: (\S+)(.*)$", buildinfo, re.MULTILINE)
        if commit.group(2):
            self.skipTest("the build's source folder has changes not committed, which a "
                          "release records as such")
        done = subprocess.run([os.path.join(SOURCE, "release", "verify.py"), "--zip", zip_path,
                               "--commit", commit.group(1), "--rebuild", "no"],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = done.stdout.splitlines()
        self.assertIn("vornelle.exe: NOT REBUILT (REBUILD=no), as this machine's tools are "
                      "not the recorded ones: cmake 0.0-other~", done.stdout)
        self.assertTrue(lines[-1].startswith("verify-release: other-tools.zip: verified: exe "
                                             "not rebuilt, so not shown to be built from "
                                             "commit "), lines[-1])
        self.assertNotIn("equals", done.stdout)


if __name__ == "__main__":
    os.makedirs(PARENT, exist_ok=True)
    WORK = tempfile.mkdtemp(prefix="rebuild-choice.", dir=PARENT)
    try:
        result = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False).result
    finally:
        shutil.rmtree(WORK)
    if result.wasSuccessful() and result.skipped:
        print("skipped: %s" % "; ".join(reason for _, reason in result.skipped))
        sys.exit(77)
    sys.exit(0 if result.wasSuccessful() else 1)
