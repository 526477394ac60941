# Runs the system's tools for the release checks: always an argument list
# (never a shell), standard input closed, and an environment without make's
# command-line variables, which a make started below would otherwise read
# again as its own. run() returns the exit code and what the tool printed;
# write_new() makes the files handed to them, never through a link.
import os
import subprocess

# make hands its command-line variables to every make below it in these.
MAKE_CARRIERS = ("MAKEFLAGS", "MFLAGS", "MAKEOVERRIDES", "GNUMAKEFLAGS", "MAKELEVEL")


def tool_environment(**extra):
    env = {key: value for key, value in os.environ.items() if key not in MAKE_CARRIERS}
    env["LC_ALL"] = "C"
    env.update(extra)
    return env


def run(args, env=None, stderr_apart=False, seconds=None):
    """(exit code, what the tool printed): standard output and error together,
    or with stderr_apart standard output alone (where the tool's own
    machine-readable lines go, which its messages must not be mixed into).
    A tool still running after the given seconds is asked to end (TERM, so that
    it can undo what it did), then ended; its exit code is then 124."""
    try:
        tool = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL if stderr_apart else subprocess.STDOUT,
                                env=env or tool_environment())
    except OSError as error:
        return 127, ("%s: %s" % (args[0], error.strerror)).encode()
    with tool:
        try:
            output, _ = tool.communicate(timeout=seconds)
        except subprocess.TimeoutExpired:
            tool.terminate()
            try:
                tool.communicate(timeout=60)
            except subprocess.TimeoutExpired:
                tool.kill()
                tool.communicate()
            return 124, ("%s: still running after %d s, ended" % (args[0], seconds)).encode()
    return tool.returncode, output


def last_words(output):
    """The last non-empty line a tool printed, for a failure's one line."""
    lines = [line for line in output.splitlines() if line.strip()]
    return lines[-1] if lines else b"it gave no reason"


def write_new(path, data):
    """A new file of this process's own: never through a link, never an old file."""
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o600)
    with os.fdopen(fd, "wb") as file:
        file.write(data)
