# BUILDINFO, the release's record of how its vornelle.exe was built: the
# commit and its time (SOURCE_DATE_EPOCH), the preset, the compile and link
# flags of the program's own targets (folders written as <source> and
# <build>, so that any two folders give the same text), and the Debian
# package versions of the tools, and the Debian release they came from (its
# suite and the date of its archive as this machine's apt lists hold it).
# Equal text from two builds means they were made alike; the package lines
# say what to install to reproduce one, the debian line where from.
# The source folder is the one the build folder was configured from. Its
# lines are a table of line kinds: render() writes records with it, and
# parse() takes back only text that render() gives again, byte for byte.
#   buildinfo.py BUILD_DIR     prints BUILDINFO for that build
import email.utils
import email.utils
import os
import re
import shlex
import string
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from release_error import ReleaseError, shown  # noqa: E402
from tool_run import run  # noqa: E402

# The kinds of line, in the order BUILDINFO holds them: (kind, the line with
# its fields in braces, each field's pattern, how often: ONE, OPTIONAL or
# MANY). render() writes records with it; parse() reads text back with it.
ONE, OPTIONAL, MANY = "one", "optional", "many"
# The Debian release the tools came from: its suite and its archive's date.
DEBIAN_RELEASE = ("[a-z0-9][a-z0-9.+-]{0,40}, archive dated "
                  "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z")
LINE_KINDS = (
    ("header", "# How this release's vornelle.exe was built. The same commit built with",
     {}, ONE),
    ("header end", "# these package versions gives the same file byte for byte.", {}, ONE),
    ("commit", "commit: {commit}{state}",
     {"commit": "[0-9a-f]{40}", "state": "| \\(with changes not committed\\)"}, OPTIONAL),
    ("no commit", "commit: none (not built from a git checkout)", {}, OPTIONAL),
    ("time", "SOURCE_DATE_EPOCH: {epoch} (the commit's time)", {"epoch": "[0-9]{1,20}"},
     OPTIONAL),
    ("build", "build: cmake --preset i686, CMAKE_BUILD_TYPE={type}, target vornelle",
     {"type": "[A-Za-z]{1,40}"}, ONE),
    ("flags", "flags {target}: {text}", {"target": "[A-Za-z0-9_]{1,100}", "text": "[ -~]*"},
     MANY),
    ("package", "package {package}: {version}",
     {"package": "[a-z0-9][a-z0-9.+-]*", "version": "[A-Za-z0-9.+~:-]+|not installed"}, MANY),
    ("debian", "debian: {release}",
     {"release": "%s|unknown \\([ -~]{1,200}\\)" % DEBIAN_RELEASE}, ONE),
)


def line_pattern(template, fields):
    parts = []
    for literal, field, _spec, _conversion in string.Formatter().parse(template):
        parts.append(re.escape(literal))
        if field is not None:
            parts.append("(?P<%s>%s)" % (field, fields[field]))
    return re.compile("".join(parts))


LINE_PATTERNS = [line_pattern(template, fields) for _k, template, fields, _n in LINE_KINDS]

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


def render(records):
    """BUILDINFO's text of records [(kind, {field: value})]."""
    templates = {kind: template for kind, template, _f, _n in LINE_KINDS}
    return "".join(templates[kind].format(**fields) + "\n" for kind, fields in records)


def parse(text):
    """The records of a BUILDINFO's text, when it is exactly what render()
    writes for them; ReleaseError naming the first line that is not."""
    records, kinds = [], []
    for number, line in enumerate(text.split("\n")[:-1], 1):
        kind = next((k for k, pattern in enumerate(LINE_PATTERNS) if pattern.fullmatch(line)), -1)
        again = kinds and kind == kinds[-1] and LINE_KINDS[kind][3] != MANY
        if kind < 0 or again or kinds and kind < kinds[-1]:
            raise ReleaseError("BUILDINFO: line %d is not a line the packing writes there (%s)"
                               % (number, shown(line, 60)))
        kinds.append(kind)
        records.append((LINE_KINDS[kind][0], LINE_PATTERNS[kind].fullmatch(line).groupdict()))
    for kind, (name, _template, _fields, how_often) in enumerate(LINE_KINDS):
        if how_often == ONE and kind not in kinds:
            raise ReleaseError("BUILDINFO: its %s line is missing" % name)
    if render(records) != text:
        raise ReleaseError("BUILDINFO: not in the form the packing writes")
    return records


def commit_records(source):
    commit = git_text(source, "rev-parse", "--verify", "-q", "HEAD^{commit}")
    if not commit or not HEX_COMMIT.match(commit):
        return [("no commit", {})]
    code, _ = run(["git", "--no-optional-locks", "-C", source, "diff", "--quiet", "HEAD", "--"])
    state = "" if code == 0 else " (with changes not committed)"
    epoch = git_text(source, "log", "-1", "--format=%ct", commit)
    # Nothing in the build reads the clock: the commit's time stands for it.
    return [("commit", {"commit": commit, "state": state}), ("time", {"epoch": epoch})]


def normalised(line, source, build):
    """The line with the folders named and CMake's quoting (which a folder
    with a space in its name brings) taken off the arguments."""
    name, equals, value = line.rstrip("\n").partition(" = ")
    if not equals:
        name, value = "", name
    words = [w.replace(build, "<build>").replace(source, "<source>") for w in shlex.split(value)]
    return name + equals + " ".join(words)


def flag_records(source, build):
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
                    lines += [("flags", {"target": target,
                                         "text": line.rstrip("\n") if line.startswith("#")
                                         else normalised(line, source, build)})
                              for line in file if FLAG_LINE.match(line)]
            link = os.path.join(targets, name, "link.txt")
            if target == "vornelle" and os.path.exists(link):
                with open(link, encoding="utf-8") as file:
                    lines += [("flags", {"target": target,
                                         "text": "link: " + normalised(line, source, build)})
                              for line in file if "-o vornelle.exe" in line]
    return lines


def package_versions():
    """{package: version} of the tools on this machine ("not installed")."""
    versions = {}
    for package in PACKAGES:
        try:
            code, output = run(["dpkg-query", "-W", "-f=${Version}", "--", package])
        except ReleaseError:  # no dpkg here: not a Debian machine
            code, output = 1, b""
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
    try:
        origin = apt_origin(PACKAGES[0])
        fields = release_fields(*origin) if origin else {}
    except ReleaseError:  # no apt here: not a Debian machine
        origin, fields = None, {}
    try:
        date = email.utils.parsedate_to_datetime(fields.get("Date", ""))
        suite = fields.get("Codename") or origin[1]
        line = "debian: %s, archive dated %s" % (suite, date.strftime("%Y-%m-%dT%H:%M:%SZ"))
    except (TypeError, ValueError, IndexError):
        line = None
    if line is None or not re.fullmatch("debian: " + DEBIAN_RELEASE, line):
        return "unknown (%s came from no Debian archive this machine's apt lists hold)" \
            % PACKAGES[0]
    return line[len("debian: "):]


def cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as file:
        for line in file:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].rstrip("\n")
    return "unknown"


def buildinfo(build):
    build = os.path.realpath(build)
    source = os.path.realpath(cache_value(build, "CMAKE_HOME_DIRECTORY"))
    records = [("header", {}), ("header end", {})] + commit_records(source)
    records.append(("build", {"type": cache_value(build, "CMAKE_BUILD_TYPE")}))
    records += flag_records(source, build)
    records += [("package", {"package": name, "version": version})
                for name, version in sorted(package_versions().items())]
    records.append(("debian", {"release": debian_release()}))
    return render(records)


def recorded_packages(records):
    """{package: version} that a BUILDINFO's records hold."""
    return {fields["package"]: fields["version"] for kind, fields in records if kind == "package"}


def recorded_debian(records):
    """(suite, archive date) of the Debian release a BUILDINFO's records hold,
    or None."""
    for kind, fields in records:
        match = kind == "debian" and re.fullmatch(
            r"([a-z0-9][a-z0-9.+-]*), archive dated (\S+)", fields["release"])
        if match:
            return match.group(1), match.group(2)
    return None


def without_packages(records):
    """The records that say how it was built, without those that say with
    which tools (package versions and their Debian release)."""
    return [record for record in records if record[0] not in ("package", "debian")]


def recorded_commit(records):
    commits = [fields["commit"] + fields["state"] for kind, fields in records if kind == "commit"]
    return commits[0] if commits else None


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: buildinfo.py BUILD_DIR", file=sys.stderr)
        sys.exit(2)
    sys.stdout.write(buildinfo(sys.argv[1]))
