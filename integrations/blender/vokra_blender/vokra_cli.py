# Running vokra-cli: the add-on talks to Vokra only through its files and this tool.
import os
import shutil
import subprocess

from .vokra_data import VokraDataError, parse_json_text

# `export` only reads a document; `--help` prints a page.
QUICK_TIMEOUT = 60.0


def find_tool(configured):
    """The vokra-cli to run: the one named in the preferences, else the one on PATH."""
    if configured:
        path = os.path.abspath(os.path.expanduser(configured))
        if not os.path.isfile(path) or not os.access(path, os.X_OK):
            raise VokraDataError(
                f"vokra-cli was not found at {path} (set in the Vokra add-on's preferences).")
        return path
    path = shutil.which("vokra-cli")
    if path is None:
        raise VokraDataError(
            "vokra-cli was not found: install Vokra, or name vokra-cli in the Vokra add-on's "
            "preferences.")
    return path


def run(tool, args, timeout):
    """Runs vokra-cli and returns its standard output; a clear error when it fails or hangs."""
    try:
        done = subprocess.run([tool] + args, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        raise VokraDataError(f"vokra-cli did not finish within {timeout:g} seconds.") from None
    except OSError as e:
        raise VokraDataError(f"vokra-cli could not be started: {e.strerror}.") from None
    if done.returncode != 0:
        message = done.stderr.decode("utf-8", "replace").strip().splitlines()
        why = message[-1] if message else f"exit status {done.returncode}"
        raise VokraDataError(f"vokra-cli failed: {why}")
    return done.stdout


def export_json(tool, vok_path):
    """The parsed JSON export of a .vok document."""
    out = run(tool, ["export", vok_path, "--format", "json"], QUICK_TIMEOUT)
    return parse_json_text(out, "vokra-cli's export of " + os.path.basename(vok_path))


_shapes_support = {}


def supports_shapes(tool, timeout=QUICK_TIMEOUT):
    """Whether this vokra-cli guesses mouth shapes (`autokey --shapes`); older ones key only."""
    try:
        stamp = (tool, os.stat(tool).st_mtime_ns)
    except OSError:
        return False
    if stamp not in _shapes_support:
        try:
            page = run(tool, ["--help"], min(timeout, QUICK_TIMEOUT))
        except VokraDataError:
            page = b""
        _shapes_support[stamp] = b"--shapes" in page
    return _shapes_support[stamp]
