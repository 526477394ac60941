# BUILDINFO, the release's record of how its vornelle.exe was built: the
# commit and its time (SOURCE_DATE_EPOCH), the preset, the compile and link
# flags of the program's own targets (folders written as <source> and
# <build>, so that any two folders give the same text), and the Debian
# package versions of the tools. Equal text from two builds means they were
# made alike; the package lines say what to install to reproduce one.
# The source folder is the one the build folder was configured from.
#   buildinfo.py BUILD_DIR     prints BUILDINFO for that build
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
    return HEADER + "\n".join(lines) + "\n"


def recorded_packages(text):
    """{package: version} that a BUILDINFO records."""
    found = {}
    for line in text.splitlines():
        match = re.match(r"^package ([a-z0-9.+-]+): (.*)$", line)
        if match:
            found[match.group(1)] = match.group(2)
    return found


def without_packages(text):
    return [line for line in text.splitlines() if not line.startswith("package ")]


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
