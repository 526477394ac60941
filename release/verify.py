#!/usr/bin/python3 -IB
# Checks a release zip that anyone may have handed over, as `make
# verify-release` does: nothing in it is run, parsed by a shell, passed as an
# option or followed as a link. It holds exactly the release's files; they
# match SHA256SUMS; SHA256SUMS.asc is a good signature by the key named with
# --key (and only that key); README.md and LICENSE are the commit's own; the
# exe's signature holds (chaining to --ca) and fills its certificate table
# exactly; and the exe without it equals a fresh build of the commit. One line
# per check on standard output; the first failure is one line on standard
# error, and the exit code is 1. The last line says what "verified" covered.
#   verify.py --zip ZIP [--ca CA_FILE] [--commit COMMIT] [--key FINGERPRINT] [--repo REPO]
# COMMIT defaults to HEAD and REPO to the repository this script is in.
import hashlib
import os
import re
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from authenticode import check_signature, is_signed, unsigned_image  # noqa: E402
from buildinfo import (buildinfo, recorded_commit, recorded_packages,  # noqa: E402
                       without_packages)
from release_error import ReleaseError, shown  # noqa: E402
from release_zip import read_release_zip  # noqa: E402
from tool_run import last_words, run, write_new  # noqa: E402

HERE = os.path.dirname(os.path.realpath(__file__))
# The programs that check the signature of SHA256SUMS, and their Debian packages.
GNUPG_PROGRAMS = (("gpg", "gpg"), ("gpgv", "gpgv"))
USAGE = ("usage: verify.py --zip ZIP [--ca CA_FILE] [--commit COMMIT] "
         "[--key FINGERPRINT] [--repo REPO]")
SUMS_LINE = re.compile(rb"^([0-9a-f]{64})  ([A-Za-z0-9.]+)$")
FINGERPRINT = re.compile(r"^(?:[0-9A-F]{40}|[0-9A-F]{64})$")
COMMIT_NAME = re.compile(r"^[0-9A-Za-z][0-9A-Za-z._/@{}^~+-]*$")
HEX_COMMIT = re.compile(r"^[0-9a-f]{40}$")


def say(text):
    print("verify-release: %s" % text, flush=True)


def options(args):
    """{zip, ca, commit, key, repo}: each value taken as it stands."""
    chosen = {"zip": "", "ca": "", "commit": "", "key": "", "repo": ""}
    while args:
        name = args[0][2:] if args[0].startswith("--") else None
        if name not in chosen or len(args) < 2:
            raise ReleaseError(USAGE)
        chosen[name] = args[1]
        args = args[2:]
    if not chosen["zip"]:
        raise ReleaseError("no zip named (make verify-release ZIP=path/to/vornelle-1.0-win32.zip)")
    if chosen["ca"] and not os.path.isfile(chosen["ca"]):
        raise ReleaseError("cannot read the CA file %s" % shown(chosen["ca"]))
    if chosen["key"]:
        key = re.sub(r"\s", "", chosen["key"]).upper()
        key = key[2:] if key.startswith("0X") else key
        if not FINGERPRINT.match(key):
            raise ReleaseError("KEY %s is not a key's whole fingerprint (40 or 64 hex "
                               "digits; gpg --fingerprint shows it)" % shown(chosen["key"]))
        chosen["key"] = key
    chosen["commit"] = chosen["commit"] or "HEAD"
    if not COMMIT_NAME.match(chosen["commit"]):
        raise ReleaseError("COMMIT %s is not a commit's name" % shown(chosen["commit"]))
    chosen["repo"] = os.path.abspath(chosen["repo"] or os.path.join(HERE, ".."))
    return chosen


def check_sums(files):
    """SHA256SUMS lists every other packed file once, with its hash."""
    listed, text = {}, files["SHA256SUMS"]
    if not text.endswith(b"\n"):
        raise ReleaseError("SHA256SUMS: does not end with a line's end")
    for line in text[:-1].split(b"\n"):
        match = SUMS_LINE.match(line)
        if not match:
            raise ReleaseError("SHA256SUMS: a line is not \"HASH  NAME\" (%s)" % shown(line))
        name = match.group(2).decode()
        if name in listed:
            raise ReleaseError("SHA256SUMS: %s listed twice" % name)
        listed[name] = match.group(1).decode()
    packed = set(files) - {"SHA256SUMS", "SHA256SUMS.asc"}
    for name in sorted(set(listed) | packed):
        if name not in packed:
            raise ReleaseError("SHA256SUMS: lists %s, which the zip does not hold" % name)
        if name not in listed:
            raise ReleaseError("%s is packed but not listed in SHA256SUMS" % name)
        if hashlib.sha256(files[name]).hexdigest() != listed[name]:
            raise ReleaseError("SHA256SUMS: %s: FAILED, its hash is not the listed one" % name)
    say("SHA256SUMS: %d files match (%s)" % (len(listed), " ".join(sorted(listed))))


def gnupg_home():
    home = os.environ.get("GNUPGHOME") or os.path.join(os.path.expanduser("~"), ".gnupg")
    return os.path.abspath(home)


def check_sums_signature(files, key, work):
    """SHA256SUMS.asc is one good detached signature whose primary key is KEY,
    checked against a keyring that holds that key alone."""
    if "SHA256SUMS.asc" not in files:
        raise ReleaseError("SHA256SUMS.asc: missing, yet KEY names the key that signs releases")
    for program, package in GNUPG_PROGRAMS:
        if shutil.which(program) is None:
            raise ReleaseError("SHA256SUMS.asc: cannot be checked: %s is not installed (Debian package %s)"
                               % (program, package))
    home = gnupg_home()
    if not os.path.isdir(home):
        raise ReleaseError("KEY %s: no GnuPG keyring at %s; import the release key first"
                           % (key, shown(home)))
    code, exported = run(["gpg", "--batch", "--no-tty", "--no-autostart", "--homedir", home,
                          "--export", "--export-options", "export-minimal", "--", key],
                         stderr_apart=True)
    if code != 0 or not exported:
        raise ReleaseError("KEY %s: not in your keyring (%s); import the release key first"
                           % (key, shown(home)))
    trusted = os.path.join(work, "gnupg")
    os.mkdir(trusted, 0o700)
    keyring = os.path.join(trusted, "release-key.gpg")
    write_new(keyring, exported)
    code, listing = run(["gpg", "--batch", "--no-tty", "--no-autostart", "--homedir", trusted,
                         "--with-colons", "--show-keys", "--", keyring], stderr_apart=True)
    records = [line.split(b":") for line in listing.splitlines()]
    primaries = [i for i, r in enumerate(records) if r[0] == b"pub"]
    if (code != 0 or len(primaries) != 1 or len(records) < 2 or records[1][0] != b"fpr"
            or records[1][9].decode() != key):
        raise ReleaseError("KEY %s: your keyring gives more than that one key for it" % key)
    for name in ("SHA256SUMS", "SHA256SUMS.asc"):
        write_new(os.path.join(work, name), files[name])
    code, status = run(["gpgv", "--homedir", trusted, "--keyring", keyring, "--status-fd", "1",
                        "--", os.path.join(work, "SHA256SUMS.asc"),
                        os.path.join(work, "SHA256SUMS")], stderr_apart=True)
    lines = [line.split() for line in status.splitlines() if line.startswith(b"[GNUPG:] ")]
    kinds = [line[1] for line in lines if len(line) > 1]
    valid = [line for line in lines if len(line) > 2 and line[1] == b"VALIDSIG"]
    if (code != 0 or kinds.count(b"NEWSIG") > 1 or kinds.count(b"GOODSIG") != 1
            or b"PLAINTEXT" in kinds or len(valid) != 1 or valid[0][-1].decode() != key):
        raise ReleaseError("SHA256SUMS.asc: not a good signature of SHA256SUMS by key %s" % key)
    say("SHA256SUMS.asc: good signature by key %s (the KEY you named)" % key)


def resolve_commit(repo, commit):
    code, output = run(["git", "-C", repo, "rev-parse", "--verify", "-q", "--end-of-options",
                        commit + "^{commit}"], stderr_apart=True)
    sha = output.decode(errors="replace").strip()
    if code != 0 or not HEX_COMMIT.match(sha):
        raise ReleaseError("COMMIT %s is not a commit of %s" % (shown(commit), shown(repo)))
    return sha


def check_commit_files(files, repo, sha):
    for name in ("README.md", "LICENSE"):
        code, own = run(["git", "-C", repo, "cat-file", "blob", "%s:%s" % (sha, name)],
                        stderr_apart=True)
        if code != 0:
            raise ReleaseError("%s: commit %s has no such file" % (name, sha))
        if files[name] != own:
            raise ReleaseError("%s: differs from commit %s's own %s" % (name, sha, name))
    say("README.md, LICENSE: equal commit %s's own" % sha)


def check_buildinfo_commit(files, sha):
    if "BUILDINFO" not in files:
        say("BUILDINFO: none packed, so the tools' versions were not recorded")
        return None
    try:
        text = files["BUILDINFO"].decode("ascii")
    except UnicodeDecodeError:
        raise ReleaseError("BUILDINFO: not plain text")
    recorded = recorded_commit(text)
    if recorded != sha:
        raise ReleaseError("BUILDINFO: records commit %s, not the commit checked, %s "
                           "(COMMIT= names the one to check)" % (shown(recorded or "none"), sha))
    return text


def check_exe(files, ca):
    exe = files["vornelle.exe"]
    if is_signed(exe):
        say("vornelle.exe: signature %s" % check_signature(exe, ca or None))
        return unsigned_image(exe)
    if ca:
        raise ReleaseError("vornelle.exe: not signed, yet a CA was named")
    say("vornelle.exe: not signed")
    return exe


def fresh_build(repo, sha, work):
    """(exe, BUILDINFO text) of the commit, built in a clone of its own."""
    source = os.path.join(work, "source")
    build = os.path.join(work, "build", "i686")
    code, output = run(["git", "clone", "-q", "--no-checkout", "--", repo, source])
    if code != 0:
        raise ReleaseError("cannot clone %s: %s" % (shown(repo), shown(last_words(output))))
    code, output = run(["git", "-C", source, "-c", "advice.detachedHead=false", "checkout",
                        "-q", sha])
    if code != 0:
        raise ReleaseError("cannot check out commit %s: %s" % (sha, shown(last_words(output))))
    code, output = run([os.path.join(HERE, "build-product.sh"), source, build])
    if code != 0:
        raise ReleaseError("the build of commit %s failed: %s" % (sha, shown(last_words(output))))
    with open(os.path.join(build, "app", "vornelle.exe"), "rb") as file:
        return file.read(), buildinfo(build)


def differences(recorded, here):
    """What differs between a recorded BUILDINFO and this machine's."""
    if recorded is None:
        return "no BUILDINFO packed, so the tools it was built with are unknown"
    packages, ours = recorded_packages(recorded), recorded_packages(here)
    changed = ["%s %s recorded, %s here" % (name, shown(packages.get(name, "none")), ours[name])
               for name in sorted(ours) if packages.get(name) != ours[name]]
    if without_packages(recorded) != without_packages(here):
        changed.append("the recorded build flags are not the commit's")
    return "; ".join(changed) or "the recorded versions and flags are this machine's"


def verify(chosen):
    name = shown(os.path.basename(chosen["zip"]))
    files = read_release_zip(chosen["zip"])
    say("%s: holds exactly the release's files (%s)" % (name, " ".join(sorted(files))))
    check_sums(files)
    with tempfile.TemporaryDirectory(prefix="vornelle-verify.") as work:
        if chosen["key"]:
            check_sums_signature(files, chosen["key"], work)
        elif "SHA256SUMS.asc" in files:
            say("SHA256SUMS.asc: NOT CHECKED: no KEY named, so whoever made it is unknown "
                "(KEY=<fingerprint of the release key> checks it)")
        else:
            say("SHA256SUMS.asc: none packed, so the checksums are not signed")
        sha = resolve_commit(chosen["repo"], chosen["commit"])
        recorded = check_buildinfo_commit(files, sha)
        check_commit_files(files, chosen["repo"], sha)
        unsigned = check_exe(files, chosen["ca"])
        built, here = fresh_build(chosen["repo"], sha, work)
        if unsigned != built:
            raise ReleaseError("vornelle.exe without its signature differs from a fresh build "
                               "of commit %s: %s" % (sha, differences(recorded, here)))
        say("vornelle.exe without its signature equals a fresh build of commit %s (%d bytes)"
            % (sha, len(built)))
        if recorded is not None and without_packages(recorded) != without_packages(here):
            raise ReleaseError("BUILDINFO: its commit, time or flags are not what commit %s "
                               "builds with" % sha)
        if recorded is not None and recorded_packages(recorded) != recorded_packages(here):
            say("BUILDINFO: note: %s" % differences(recorded, here))
    covered = ["built from commit %s" % sha[:12]]
    if chosen["key"]:
        covered.append("checksums signed by key %s" % chosen["key"])
    else:
        covered.append("checksums' signer not checked (no KEY)")
    if is_signed(files["vornelle.exe"]):
        covered.append("exe signature chains to %s" % shown(os.path.basename(chosen["ca"]))
                       if chosen["ca"] else "exe signature intact; signer not checked (no CA)")
    else:
        covered.append("exe not signed")
    say("%s: verified: %s" % (name, "; ".join(covered)))


def main(args):
    try:
        verify(options(args))
    except ReleaseError as error:
        print("verify-release: FAILED: %s" % error, file=sys.stderr, flush=True)
        return 1
    except Exception as error:  # a fault of this script, still one line
        print("verify-release: FAILED: unexpected %s: %s" % (type(error).__name__, shown(str(error))),
              file=sys.stderr, flush=True)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
