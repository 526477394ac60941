#!/usr/bin/python3 -IB
# Checks a release zip that anyone may have handed over, as `make
# verify-release` does: nothing in it is run, parsed by a shell, passed as an
# option or followed as a link. It is, byte for byte, the zip that the
# packing writes of the files it holds (release_zip.py), and those are exactly
# the release's files; SHA256SUMS is the text sha256sum writes for them;
# BUILDINFO is in the packing's form and names the commit; SHA256SUMS.asc is
# a good signature by the key named with --key (and only that key); README.md
# and LICENSE are the commit's own (README.md is its release/README.md, the
# user's page); the
# exe's signature holds (chaining to --ca) and fills its certificate table
# exactly; and the exe without it equals a build of the commit: here when
# this machine's tools are the recorded ones, else in a minimal root of the
# recorded Debian release with the recorded versions (release/
# root_rebuild.py; --rebuild no skips that and says "not rebuilt"). The
# GnuPG home that holds KEY must be the caller's own (tools/lib/owned.sh); it is
# read, never written. Every tool runs within bounds (tool_run.py). One line
# per check on standard output; the first failure is one line on standard
# error, and the exit code is 1. The last line says what "verified" covered.
#   verify.py --zip ZIP [--ca CA_FILE] [--commit COMMIT] [--key FINGERPRINT] [--repo REPO]
#             [--rebuild auto|root|no] [--mirror URL]
# COMMIT defaults to HEAD and REPO to the repository this script is in; the
# mirror, to the one this machine's apt sources name, is where a root's
# packages come from.
import hashlib
import os
import re
import shutil
import stat
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from authenticode import check_signature, is_signed, unsigned_image  # noqa: E402
from buildinfo import (buildinfo, package_versions, parse, recorded_commit,  # noqa: E402
                       recorded_packages, without_packages)
from release_error import ReleaseError, shown  # noqa: E402
from release_zip import RELEASE_FILES, SUMMED_FILES, read_release_zip  # noqa: E402
from root_rebuild import rebuild, rebuild_choice, tools_differ  # noqa: E402
from signature_packet import signature_packet  # noqa: E402
from tool_run import last_words, run, write_new  # noqa: E402
from version import zip_name  # noqa: E402

HERE = os.path.dirname(os.path.realpath(__file__))
USAGE = ("usage: verify.py --zip ZIP [--ca CA_FILE] [--commit COMMIT] "
         "[--key FINGERPRINT] [--repo REPO] [--rebuild auto|root|no] [--mirror URL]")
FINGERPRINT = re.compile(r"^(?:[0-9A-F]{40}|[0-9A-F]{64})$")
COMMIT_NAME = re.compile(r"^[0-9A-Za-z][0-9A-Za-z._/@{}^~+-]*$")
HEX_COMMIT = re.compile(r"^[0-9a-f]{40}$")
OWNED = os.path.join(HERE, "..", "tools", "lib", "owned.sh")
# The files of a GnuPG home that hold its public keys, and the most read of each.
KEYRINGS = ("pubring.kbx", "pubring.gpg")
KEYRING_CAP = 32 * 1024 * 1024
BUILD_SECONDS = 1800
MIRROR = re.compile(r"^(?:https?|file)://\S+$")


def say(text):
    print("verify-release: %s" % text, flush=True)


def options(args):
    """{zip, ca, commit, key, repo, rebuild, mirror}: each value taken as it stands."""
    chosen = {"zip": "", "ca": "", "commit": "", "key": "", "repo": "", "rebuild": "",
              "mirror": ""}
    while args:
        name = args[0][2:] if args[0].startswith("--") else None
        if name not in chosen or len(args) < 2:
            raise ReleaseError(USAGE)
        chosen[name] = args[1]
        args = args[2:]
    if not chosen["zip"]:
        raise ReleaseError("no zip named (make verify-release ZIP=path/to/%s)" % zip_name())
    if chosen["ca"] and not os.path.isfile(chosen["ca"]):
        raise ReleaseError("cannot read the CA file %s" % shown(chosen["ca"]))
    if chosen["key"]:
        key = re.sub(r"\s", "", chosen["key"]).upper()
        key = key[2:] if key.startswith("0X") else key
        if not FINGERPRINT.match(key):
            raise ReleaseError("KEY %s is not a key's whole fingerprint (40 or 64 hex "
                               "digits; gpg --fingerprint shows it)" % shown(chosen["key"]))
        chosen["key"] = key
        code, why = run(["bash", OWNED, gnupg_home()])
        if code != 0:
            raise ReleaseError("GNUPGHOME: %s; it is left as it is" % shown(last_words(why)))
    chosen["commit"] = chosen["commit"] or "HEAD"
    if not COMMIT_NAME.match(chosen["commit"]):
        raise ReleaseError("COMMIT %s is not a commit's name" % shown(chosen["commit"]))
    chosen["repo"] = os.path.abspath(chosen["repo"] or os.path.join(HERE, ".."))
    rebuild_choice(chosen["rebuild"])
    if chosen["mirror"] and not MIRROR.match(chosen["mirror"]):
        raise ReleaseError("REBUILD_MIRROR %s is not a mirror's http, https or file URL"
                           % shown(chosen["mirror"]))
    return chosen


def check_sums(files):
    """SHA256SUMS is exactly what sha256sum writes for the summed files, in
    the packing's order."""
    lines = [b"%s  %s\n" % (hashlib.sha256(files[name]).hexdigest().encode(), name.encode())
             for name in SUMMED_FILES]
    given = files["SHA256SUMS"].splitlines(keepends=True)
    for number, (line, name) in enumerate(zip(lines, SUMMED_FILES), 1):
        if number > len(given) or given[number - 1] != line:
            if number <= len(given) and given[number - 1].endswith(b"  %s\n" % name.encode()):
                raise ReleaseError("SHA256SUMS: %s: FAILED, its hash is not the listed one" % name)
            raise ReleaseError("SHA256SUMS: line %d is not what sha256sum writes for %s"
                               % (number, name))
    if len(given) > len(lines):
        raise ReleaseError("SHA256SUMS: holds more than its %d lines" % len(lines))
    say("SHA256SUMS: is sha256sum's text for the %d files (%s)"
        % (len(lines), " ".join(SUMMED_FILES)))


def gnupg_home():
    home = os.environ.get("GNUPGHOME") or os.path.join(os.path.expanduser("~"), ".gnupg")
    return os.path.abspath(home)


def copied_keyrings(home, work):
    """A GnuPG home of the check's own holding copies of home's keyrings: read
    without following a link, each of bounded size; gpg then writes there."""
    copy = os.path.join(work, "keyrings")
    os.mkdir(copy, 0o700)
    for name in KEYRINGS:
        try:
            fd = os.open(os.path.join(home, name), os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK)
        except FileNotFoundError:
            continue
        except OSError as error:
            raise ReleaseError("GNUPGHOME: cannot read its %s: %s" % (name, error.strerror))
        with os.fdopen(fd, "rb") as file:
            if not stat.S_ISREG(os.fstat(fd).st_mode):
                raise ReleaseError("GNUPGHOME: its %s is not a file" % name)
            data = file.read(KEYRING_CAP + 1)
        if len(data) > KEYRING_CAP:
            raise ReleaseError("GNUPGHOME: its %s is larger than %d bytes"
                               % (name, KEYRING_CAP))
        write_new(os.path.join(copy, name), data)
    return copy


def check_sums_signature(files, key, work):
    """SHA256SUMS.asc is one good detached signature whose primary key is KEY,
    checked against a keyring that holds that key alone."""
    if "SHA256SUMS.asc" not in files:
        raise ReleaseError("SHA256SUMS.asc: missing, yet KEY names the key that signs releases")
    home = gnupg_home()
    if not os.path.isdir(home):
        raise ReleaseError("KEY %s: no GnuPG keyring at %s; import the release key first"
                           % (key, shown(home)))
    copy = copied_keyrings(home, work)
    code, exported = run(["gpg", "--batch", "--no-tty", "--no-autostart", "--homedir", copy,
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
    write_new(os.path.join(work, "SHA256SUMS"), files["SHA256SUMS"])
    write_new(os.path.join(work, "SHA256SUMS.sig"), signature_packet(files["SHA256SUMS.asc"]))
    code, status = run(["gpgv", "--homedir", trusted, "--keyring", keyring, "--status-fd", "1",
                        "--", os.path.join(work, "SHA256SUMS.sig"),
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
    for name, path in (("README.md", "release/README.md"), ("LICENSE", "LICENSE")):
        code, own = run(["git", "-C", repo, "cat-file", "blob", "%s:%s" % (sha, path)],
                        stderr_apart=True)
        if code != 0:
            raise ReleaseError("%s: commit %s has no file %s" % (name, sha, path))
        if files[name] != own:
            raise ReleaseError("%s: differs from commit %s's own %s" % (name, sha, path))
    say("README.md, LICENSE: equal commit %s's own" % sha)


def check_buildinfo_commit(files, sha):
    """BUILDINFO's records, when it is in the packing's form and names sha."""
    try:
        records = parse(files["BUILDINFO"].decode("ascii"))
    except UnicodeDecodeError:
        raise ReleaseError("BUILDINFO: not plain text")
    recorded = recorded_commit(records)
    if recorded != sha:
        raise ReleaseError("BUILDINFO: records commit %s, not the commit checked, %s "
                           "(COMMIT= names the one to check)" % (shown(recorded or "none"), sha))
    return records


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
    """(exe, BUILDINFO records) of the commit, built in a clone of its own."""
    source = os.path.join(work, "source")
    build = os.path.join(work, "build", "i686")
    code, output = run(["git", "clone", "-q", "--no-checkout", "--", repo, source], seconds=300)
    if code != 0:
        raise ReleaseError("cannot clone %s: %s" % (shown(repo), shown(last_words(output))))
    code, output = run(["git", "-C", source, "-c", "advice.detachedHead=false", "checkout",
                        "-q", sha])
    if code != 0:
        raise ReleaseError("cannot check out commit %s: %s" % (sha, shown(last_words(output))))
    code, output = run([os.path.join(HERE, "build-product.sh"), source, build],
                       seconds=BUILD_SECONDS, needs=("cmake", "make"))
    if code != 0:
        raise ReleaseError("the build of commit %s failed: %s" % (sha, shown(last_words(output))))
    with open(os.path.join(build, "app", "vornelle.exe"), "rb") as file:
        return file.read(), parse(buildinfo(build))


def differences(recorded, here):
    """What differs between a recorded BUILDINFO and this machine's."""
    changed = [tools_differ(recorded, recorded_packages(here))]
    if without_packages(recorded) != without_packages(here):
        changed.append("the recorded build flags are not the commit's")
    return ("; ".join(c for c in changed if c)
            or "the recorded versions and flags are this machine's")


def check_rebuilt(unsigned, built, here, done, recorded, sha):
    """The exe without its signature is the one built (done says how)."""
    if unsigned != built:
        raise ReleaseError("vornelle.exe without its signature differs from %s: %s"
                           % (done, differences(recorded, here)))
    say("vornelle.exe without its signature equals %s (%d bytes)" % (done, len(built)))
    if recorded is not None and without_packages(recorded) != without_packages(here):
        raise ReleaseError("BUILDINFO: its commit, time or flags are not what commit %s "
                           "builds with" % sha)
    if recorded is not None and recorded_packages(recorded) != recorded_packages(here):
        say("BUILDINFO: note: %s" % differences(recorded, here))


def verify(chosen):
    name = shown(os.path.basename(chosen["zip"]))
    files = read_release_zip(chosen["zip"])
    say("%s: is, byte for byte, the packing's zip of its files (%s)"
        % (name, " ".join(name for name in RELEASE_FILES if name in files)))
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
        rebuilt = rebuild(recorded, chosen, sha, work,
                          lambda: fresh_build(chosen["repo"], sha, work)
                          + ("a fresh build of commit %s" % sha,))
        if rebuilt:
            check_rebuilt(unsigned, *rebuilt, recorded, sha)
        else:
            say("vornelle.exe: NOT REBUILT (REBUILD=no), as this machine's tools are not the "
                "recorded ones: %s" % tools_differ(recorded, package_versions()))
    covered = ["built from commit %s" % sha[:12] if rebuilt else
               "exe not rebuilt, so not shown to be built from commit %s" % sha[:12]]
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
