#!/usr/bin/python3 -IB
# Runs the system's tools for the release: always an argument list (never a
# shell), standard input closed, an environment without make's command-line
# variables, within a time limit and a cap on what it may print. A tool past
# either is asked to end with its whole process group (TERM, so that it can
# undo what it did, such as a root it mounted), then killed; that, or a tool that is not
# installed, is a ReleaseError of one line naming it (and its Debian package).
# write_new() makes the files handed to the tools, never through a link.
#   tool_run.py SECONDS [--stdout FILE] COMMAND [ARGS...]   (for scripts: the
#   tool's output on standard output, or its standard output alone in the new
#   FILE; its exit code; a tool missing or past its bounds: one line, exit 125.
#   The script's open descriptors reach the tool: /dev/fd/N names work.)
import os
import select
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from release_error import ReleaseError  # noqa: E402

# make hands its command-line variables to every make below it in these.
MAKE_CARRIERS = ("MAKEFLAGS", "MFLAGS", "MAKEOVERRIDES", "GNUMAKEFLAGS", "MAKELEVEL")
# Each program the release's scripts run, and the Debian package that brings it.
PACKAGES = {
    "apt-cache": "apt", "apt-config": "apt", "bash": "bash", "cmake": "cmake", "dpkg-query": "dpkg", "git": "git", "gpg": "gpg",
    "gpg-connect-agent": "gpgconf", "gpgconf": "gpgconf", "gpgv": "gpgv", "make": "make",
    "openssl": "openssl", "osslsigncode": "osslsigncode", "python3": "python3",
    "sha256sum": "coreutils",
}
SECONDS = 60
OUTPUT_CAP = 4 * 1024 * 1024
# A test's shorter limit: it can only lower the limits, never raise them.
LIMIT_VARIABLE = "VORNELLE_TOOL_SECONDS"
EXIT_BOUNDS = 125
# How long a tool asked to end (TERM) has before it is killed.
GRACE_SECONDS = 30


def tool_environment(**extra):
    env = {key: value for key, value in os.environ.items() if key not in MAKE_CARRIERS}
    env["LC_ALL"] = "C"
    env.update(extra)
    return env


def missing(programs, env):
    """The first of programs that is not on PATH, as one line, else None."""
    for program in programs:
        if "/" not in program and not shutil.which(program, path=env.get("PATH", os.defpath)):
            return "%s is not installed (Debian package %s)" % (
                program, PACKAGES.get(program, "unknown: not in the release's list"))
    return None


def limit_of(seconds):
    lowered = os.environ.get(LIMIT_VARIABLE, "")
    return min(seconds, int(lowered)) if lowered.isdigit() and int(lowered) > 0 else seconds


def end_group(process):
    """TERM to the tool's group, then KILL once the tool has ended or its
    grace is over: what it started ends with it."""
    for kill, wait in ((signal.SIGTERM, GRACE_SECONDS), (signal.SIGKILL, None)):
        try:
            os.killpg(process.pid, kill)
        except ProcessLookupError:
            pass
        try:
            process.wait(wait)
        except subprocess.TimeoutExpired:
            pass


def run(args, env=None, stderr_apart=False, seconds=SECONDS, cap=OUTPUT_CAP, needs=(),
        keep_fds=False):
    """(exit code, what the tool printed): standard output and error together,
    or with stderr_apart standard output alone (where the tool's own
    machine-readable lines go, which its messages must not be mixed into).
    needs: the programs a script among args runs, checked to be installed;
    keep_fds: the tool inherits this process's open descriptors."""
    env = env or tool_environment()
    absent = missing((args[0],) + tuple(needs), env)
    if absent:
        raise ReleaseError(absent)
    seconds = limit_of(seconds)
    name = os.path.basename(args[0])
    try:
        process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL if stderr_apart else subprocess.STDOUT,
                                   env=env, start_new_session=True, close_fds=not keep_fds)
    except OSError as error:
        raise ReleaseError("%s: cannot run it: %s" % (name, error.strerror))
    output, deadline = bytearray(), time.monotonic() + seconds
    with process.stdout:
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                end_group(process)
                raise ReleaseError("%s ran past its limit of %d s and was ended" % (name, seconds))
            ready, _, _ = select.select([process.stdout], [], [], left)
            if not ready:
                continue
            chunk = os.read(process.stdout.fileno(), 65536)
            if not chunk:
                break
            output += chunk
            if len(output) > cap:
                end_group(process)
                raise ReleaseError("%s printed more than its cap of %d bytes and was ended"
                                   % (name, cap))
    try:
        code = process.wait(max(deadline - time.monotonic(), 0.01))
    except subprocess.TimeoutExpired:
        end_group(process)
        raise ReleaseError("%s ran past its limit of %d s and was ended" % (name, seconds))
    # What it left running in its group (its output closed) ends with it.
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    return code, bytes(output)


def last_words(output):
    """The last non-empty line a tool printed, for a failure's one line."""
    lines = [line for line in output.splitlines() if line.strip()]
    return lines[-1] if lines else b"it gave no reason"


def write_new(path, data):
    """A new file of this process's own: never through a link, never an old file."""
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o600)
    with os.fdopen(fd, "wb") as file:
        file.write(data)


def main(args):
    into = args[2] if len(args) > 3 and args[1] == "--stdout" else None
    command = args[3:] if into else args[1:]
    if not command or not args[0].isdigit():
        print("usage: tool_run.py SECONDS [--stdout FILE] COMMAND [ARGS...]", file=sys.stderr)
        return 2
    try:
        code, output = run(command, env=dict(os.environ), seconds=int(args[0]),
                           stderr_apart=bool(into), keep_fds=True)
    except ReleaseError as error:
        print(error, flush=True)
        return EXIT_BOUNDS
    if into:
        write_new(into, output)
    else:
        sys.stdout.buffer.write(output)
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
