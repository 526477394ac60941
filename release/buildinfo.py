# BUILDINFO, the release's record of how its vornelle.exe was built: the
# commit and its time (SOURCE_DATE_EPOCH), the preset, the compile and link
# flags of the program's own targets (folders written as <source> and
# <build>, so that any two folders give the same text), and the Debian
# package versions of the tools, and the Debian release they came from (its
# suite and the date of its archive as this machine's apt lists hold it).
# Equal text from two builds means they were made alike; the package lines
# say what to install to reproduce one, the debian line where from.
# The source folder is the one the build folder was configured from.
#   buildinfo.py BUILD_DIR     prints BUILDINFO for that build
import email.utils
import os
import re
import shlex
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from tool_run import run  # noqa: E402

HEADER = ("# How this release's vornelle.exe was built. The same commit built with\n"
          "# these package versions gives the same file byte for byte.\n")
# The cross compiler and its runtime, binutils, MinGW-w64's headers and
# runtime libraries, and CMake, as Debian packages them.
PACKAGES = ("g++-mingw-w64-i686-posix", "gcc-mingw-w64-i686-posix-runtime",
            "gcc-mingw-w64-base", "binutils-mingw-w64-i686", "mingw-w64-i686-dev",
            "mingw-w64-common", "cmake")
# The folders whose targets make up the program.
PROGRAM_FOLDERS = ("runtime", "passphrase", "toolkit", "process", "app")
FLAG_LINE = re.compile(r"^(# compile \w+ with .*|(?:CXX|C|RC)_(?:FLAGS|DEFINES) = .*)$")
HEX_COMMIT = re.compile(r"^[0-9a-f]{40}$")
DEBIAN_LINE = re.compile(r"^debian: ([a-z0-9][a-z0-9.+-]*), archive dated "
                         r"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)$")


def git_text(source, *args):
    code, output = run(["git", "--no-optional-locks", "-C", source] + list(args))
    return output.decode("utf-8", "replace").strip() if code == 0 else None


def commit_lines(source):
    commit = git_text(source, "rev-parse", "--verify", "-q", "HEAD^{commit}")
    if not commit or not HEX_COMMIT.match(commit):
        return ["commit: none (not built from a git checkout)"]
    code, _ = run(["git", "--no-optional-locks", "-C", source, "diff", "--quiet", "HEAD", "--"])
    state = "" if code == 0 else " (with changes not committed)"
    epoch = git_text(source, "log", "-1", "--format=%ct", commit)
    # Nothing in the build reads the clock: the commit's time stands for it.
    return ["commit: %s%s" % (commit, state), "SOURCE_DATE_EPOCH: %s (the commit's time)" % epoch]


def normalised(line, source, build):
    """The line with the folders named and CMake's quoting (which a folder
    with a space in its name brings) taken off the arguments."""
    name, equals, value = line.rstrip("\n").partition(" = ")
    if not equals:
        name, value = "", name
    words = [w.replace(build, "<build>").replace(source, "<source>") for w in shlex.split(value)]
    return name + equals + " ".join(words)


def flag_lines(source, build):
    lines = []
    for folder in PROGRAM_FOLDERS:
        targets = os.path.join(build, folder, "CMakeFiles")
        for name in sorted(os.listdir(targets)) if os.path.isdir(targets) else []:
            if not name.endswith(".dir"):
                continue
            target = name[:-len(".dir")]
            flags = os.path.join(targets, name, "flags.make")
            if os.path.exists(flags):
                with open(flags, encoding="utf-8") as file:
                    lines += ["%s: %s" % (target, line.rstrip("\n") if line.startswith("#")
                                          else normalised(line, source, build))
                              for line in file if FLAG_LINE.match(line)]
            link = os.path.join(targets, name, "link.txt")
            if target == "vornelle" and os.path.exists(link):
                with open(link, encoding="utf-8") as file:
                    lines += ["%s: link: %s" % (target, normalised(line, source, build))
                              for line in file if "-o vornelle.exe" in line]
    return lines


def package_versions():
    """{package: version} of the tools on this machine ("not installed")."""
    versions = {}
    for package in PACKAGES:
        code, output = run(["dpkg-query", "-W", "-f=${Version}", "--", package])
        versions[package] = output.decode().strip() if code == 0 and output else "not installed"
    return versions


def apt_origin(package):
    """(URI, suite) of the apt source that the installed version of package
    came from, from `apt-cache policy`; None when none of this machine's
    sources holds it."""
    code, output = run(["apt-cache", "policy", "--", package], stderr_apart=True)
    installed = False
    for line in output.decode("utf-8", "replace").splitlines() if code == 0 else []:
        words = line.split()
        if line.startswith(" *** ") or (len(line) > 5 and line[5] != " " and len(words) == 2):
            installed = line.startswith(" *** ")
        elif installed and len(words) >= 3 and re.match(r"^[a-z]+://", words[1]):
            return words[1], words[2].rsplit("/", 1)[0]
    return None


def release_fields(uri, suite):
    """{field: value} of the suite's Release (or InRelease) file in apt's lists."""
    code, output = run(["apt-config", "shell", "LISTS", "Dir::State::lists/d"], stderr_apart=True)
    match = re.match(r"^LISTS='([^']*)'$", output.decode("utf-8", "replace").strip())
    lists = match.group(1) if code == 0 and match else "/var/lib/apt/lists/"
    # apt names each list file after its URI, without the scheme, "/" as "_".
    stem = re.sub(r"^[a-z]+://", "", uri.rstrip("/") + "/dists/" + suite + "/").replace("/", "_")
    for name in ("InRelease", "Release"):
        try:
            with open(os.path.join(lists, stem + name), encoding="utf-8", errors="replace") as file:
                text = file.read()
        except OSError:
            continue
        return dict(re.findall(r"^([A-Za-z-]+): *(.*)$", text, re.MULTILINE))
    return {}


def debian_release():
    """The debian line: the suite the cross compiler came from and the date of
    that suite's archive, enough to make the same root again later (the
    snapshot archive holds every date)."""
    origin = apt_origin(PACKAGES[0])
    fields = release_fields(*origin) if origin else {}
    try:
        date = email.utils.parsedate_to_datetime(fields.get("Date", ""))
        suite = fields.get("Codename") or origin[1]
        line = "debian: %s, archive dated %s" % (suite, date.strftime("%Y-%m-%dT%H:%M:%SZ"))
    except (TypeError, ValueError, IndexError):
        line = None
    if line is None or not DEBIAN_LINE.match(line):
        return "debian: unknown (%s came from no Debian archive this machine's apt lists hold)" \
            % PACKAGES[0]
    return line


def cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as file:
        for line in file:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].rstrip("\n")
    return "unknown"


def buildinfo(build):
    build = os.path.realpath(build)
    source = os.path.realpath(cache_value(build, "CMAKE_HOME_DIRECTORY"))
    build_type = cache_value(build, "CMAKE_BUILD_TYPE")
    lines = commit_lines(source)
    lines.append("build: cmake --preset i686, CMAKE_BUILD_TYPE=%s, target vornelle" % build_type)
    lines += ["flags " + line for line in flag_lines(source, build)]
    lines += ["package %s: %s" % item for item in sorted(package_versions().items())]
    lines.append(debian_release())
    return HEADER + "\n".join(lines) + "\n"


def recorded_packages(text):
    """{package: version} that a BUILDINFO records."""
    found = {}
    for line in text.splitlines():
        match = re.match(r"^package ([a-z0-9.+-]+): (.*)$", line)
        if match:
            found[match.group(1)] = match.group(2)
    return found


def recorded_debian(text):
    """(suite, archive date) of the Debian release a BUILDINFO records, or None."""
    for line in text.splitlines():
        match = DEBIAN_LINE.match(line)
        if match:
            return match.group(1), match.group(2)
    return None


def without_packages(text):
    """The lines that say how it was built, without those that say with which
    tools (package versions and their Debian release)."""
    return [line for line in text.splitlines()
            if not line.startswith("package ") and not line.startswith("debian: ")]


def recorded_commit(text):
    for line in text.splitlines():
        if line.startswith("commit: "):
            return line[len("commit: "):]
    return None


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: buildinfo.py BUILD_DIR", file=sys.stderr)
        sys.exit(2)
    sys.stdout.write(buildinfo(sys.argv[1]))
