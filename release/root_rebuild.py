# Where the release check builds the commit again: here, when this machine's
# tools are the ones BUILDINFO records; else in a minimal root of the recorded
# Debian release with exactly the recorded versions (release/root-build.sh);
# or not at all, when the user says REBUILD=no. Each refusal is one line that
# says what to set.
#   rebuild(recorded, chosen, sha, work, build_here) -> (exe, BUILDINFO, how it
#     was built), or None when not rebuilt; build_here() builds on this machine
import datetime
import os
import re
import shutil

from buildinfo import PACKAGES, package_versions, parse, recorded_debian, recorded_packages
from release_error import ReleaseError, shown
from tool_run import last_words, run

HERE = os.path.dirname(os.path.realpath(__file__))
TOOLS = os.path.join(HERE, "..", "tools")
HERE_BUILD, IN_ROOT, NOT_REBUILT = "here", "in a root", "not rebuilt"
# REBUILD's values: where the build goes when the tools differ, and whether a
# root is made even when they do not.
CHOICES = {"": "auto", "auto": "auto", "root": "root", "no": "no"}
# A root's debootstrap, install and build take minutes; an hour means stuck.
ROOT_BUILD_LIMIT = 3600
ROOT_BUILD_OUTPUT = 64 * 1024 * 1024  # apt and debootstrap say much
MISSING = 3  # root-build.sh's exit code when the mirror lacks a recorded version
MISSING_LINE = re.compile(r"^([a-z0-9][a-z0-9.+-]*) ([0-9A-Za-z.+~:-]+)$")
VERSION = re.compile(r"^[0-9A-Za-z.+~:-]+$")


def rebuild_choice(value):
    if value not in CHOICES:
        raise ReleaseError("REBUILD %s is not auto, root or no" % shown(value))
    return CHOICES[value]


def tools_differ(recorded, ours):
    """The recorded tool versions that are not this machine's, as one phrase
    ("" when all are); ours is {package: version} of this machine."""
    packages = recorded_packages(recorded)
    return "; ".join("%s %s recorded, %s here" % (name, shown(packages.get(name, "none")),
                                                  ours[name])
                     for name in sorted(ours) if packages.get(name) != ours[name])


def choose(recorded, ours, rebuild):
    """Where to build: recorded is the packed BUILDINFO's records (None when
    there is none), ours this machine's versions, rebuild REBUILD's value."""
    rebuild = rebuild_choice(rebuild)
    if recorded is None or rebuild == "auto" and not tools_differ(recorded, ours):
        return HERE_BUILD
    if rebuild == "no":
        return NOT_REBUILT if tools_differ(recorded, ours) else HERE_BUILD
    return IN_ROOT


def snapshot_of(date):
    """Where a snapshot mirror keeps the archive as it was a few hours after
    the recorded date: it takes each archive in some time after the date the
    archive carries, and the next one comes six hours later."""
    then = datetime.datetime.strptime(date, "%Y-%m-%dT%H:%M:%SZ") + datetime.timedelta(hours=3)
    return "/archive/debian/%s/" % then.strftime("%Y%m%dT%H%M%SZ")


def missing_line(missing, suite, date, mirror):
    """The one line for recorded versions that the mirror no longer holds."""
    named = ", ".join("%s %s" % pair for pair in missing)
    return ("the mirror %s no longer holds %s (recorded for Debian %s, archive dated %s); "
            "set REBUILD_MIRROR to a snapshot mirror of that archive (a URL ending in %s)"
            % (shown(mirror), named, suite, date, snapshot_of(date)))


def root_capability(suite):
    """Why no root can be made on this machine, or None."""
    lacking = []
    if os.geteuid() != 0:
        lacking.append("root")
    path = os.environ.get("PATH", "/usr/bin:/bin") + ":/usr/sbin:/sbin"
    if not shutil.which("debootstrap", path=path):
        lacking.append("debootstrap (apt-get install debootstrap)")
    if not lacking:
        return None
    return ("rebuilding on them in a minimal Debian %s root needs %s; REBUILD=no checks the "
            "rest without rebuilding" % (suite, " and ".join(lacking)))


def machine_mirror(suite):
    code, output = run([os.path.join(TOOLS, "debian-mirror"), "--suite", suite],
                       stderr_apart=True)
    mirror = output.decode("utf-8", "replace").strip()
    return mirror if code == 0 and mirror else None


def pinned(recorded):
    """PACKAGE=VERSION of each tool the BUILDINFO records, each checked."""
    packages = recorded_packages(recorded)
    pairs = []
    for name in PACKAGES:
        version = packages.get(name, "")
        if not VERSION.match(version):
            raise ReleaseError("BUILDINFO: records no version of %s to install" % name)
        pairs.append("%s=%s" % (name, version))
    return pairs


def root_build(repo, sha, recorded, ours, mirror, work):
    """(exe, BUILDINFO records, what was done) of the commit built in a minimal
    root of the recorded Debian release with the recorded versions."""
    differ = tools_differ(recorded, ours)
    reason = "this machine's tools are not the recorded ones" if differ else "REBUILD=root"
    differ = differ or "this machine's tools are the recorded ones"
    debian = recorded_debian(recorded)
    if debian is None:
        raise ReleaseError("vornelle.exe: %s, and BUILDINFO does not record the Debian release "
                           "they came from, so no root of it can be made; REBUILD=no checks "
                           "the rest without rebuilding" % differ)
    suite, date = debian
    why = root_capability(suite)
    if why:
        raise ReleaseError("vornelle.exe: %s; %s" % (differ, why))
    mirror = mirror or machine_mirror(suite)
    if not mirror:
        raise ReleaseError("no apt source of this machine names a Debian mirror for the root; "
                           "set REBUILD_MIRROR to one, or to a snapshot mirror of the recorded "
                           "archive (a URL ending in %s)" % snapshot_of(date))
    print("verify-release: vornelle.exe: building commit %s in a minimal Debian %s root with "
          "the recorded versions, as %s (minutes)" % (sha[:12], suite, reason), flush=True)
    out = os.path.join(work, "root-build")
    os.mkdir(out, 0o700)
    code, output = run([os.path.join(HERE, "root-build.sh"), repo, sha, suite, mirror, out]
                       + pinned(recorded), seconds=ROOT_BUILD_LIMIT,
                       cap=ROOT_BUILD_OUTPUT)
    if code == MISSING:
        with open(os.path.join(out, "missing"), encoding="ascii", errors="replace") as file:
            missing = [m.groups() for m in map(MISSING_LINE.match, file.read().splitlines()) if m]
        raise ReleaseError(missing_line(missing, suite, date, mirror))
    if code != 0:
        raise ReleaseError("the build of commit %s in a minimal Debian %s root failed: %s"
                           % (sha, suite, shown(last_words(output))))
    with open(os.path.join(out, "vornelle.exe"), "rb") as file:
        exe = file.read()
    with open(os.path.join(out, "BUILDINFO"), encoding="utf-8") as file:
        records = parse(file.read())
    with open(os.path.join(out, "root"), encoding="ascii") as file:
        seconds, megabytes = file.read().split()
    done = ("a build of commit %s in a minimal Debian %s root with the recorded versions "
            "(from %s; %s s, the root %s MB)" % (sha, suite, shown(mirror), seconds, megabytes))
    return exe, records, done


def rebuild(recorded, chosen, sha, work, build_here):
    """The commit built where choose() says, from the check's options."""
    ours = package_versions()
    where = choose(recorded, ours, chosen["rebuild"])
    if where == NOT_REBUILT:
        return None
    if where == HERE_BUILD:
        return build_here()
    return root_build(chosen["repo"], sha, recorded, ours, chosen["mirror"], work)
