# Running vokra-cli: the add-on talks to Vokra only through its files and this tool. The tool
# always runs in the background, its output going to files in the run's own private folder (a
# pipe would fill and stall it, or be held open by a child it leaves behind), and it is polled,
# so Blender keeps drawing and Esc can end it.
import os
import shutil
import signal
import subprocess
import tempfile
import time

from .vokra_data import MAX_FILE_BYTES, VokraDataError

# How much of stderr is kept for a message: its last lines are what the tool says went wrong.
STDERR_TAIL = 64 * 1024


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


def _read_tail(path, size):
    with open(path, "rb") as f:
        f.seek(0, os.SEEK_END)
        f.seek(max(0, f.tell() - size))
        return f.read()


class Process:
    """One vokra-cli started in its own process group, so that ending it also ends whatever it
    started (a shell script's children included)."""

    def __init__(self, tool, args, folder, deadline, timeout):
        self.deadline, self.timeout = deadline, timeout
        self.out_path = os.path.join(folder, "stdout")
        self.err_path = os.path.join(folder, "stderr")
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            try:
                self.popen = subprocess.Popen([tool] + args, stdin=subprocess.DEVNULL, stdout=out,
                                              stderr=err, start_new_session=True)
            except OSError as e:
                raise VokraDataError(f"vokra-cli could not be started: {e.strerror}.") from None

    def poll(self):
        """None while it runs; its standard output once it has succeeded; an error when it
        failed or ran past the deadline (then it is ended)."""
        status = self.popen.poll()
        if status is None:
            if self._too_much_output():
                self.end()
                raise VokraDataError("vokra-cli printed far more than a Vokra file holds.")
            if time.monotonic() < self.deadline:
                return None
            self.end()
            raise VokraDataError(f"vokra-cli did not finish within {self.timeout:g} seconds.")
        self._end_group()  # children left behind by a script that has finished
        if status != 0:
            lines = _read_tail(self.err_path, STDERR_TAIL).decode("utf-8", "replace").split("\n")
            lines = [line.strip() for line in lines if line.strip()]
            why = lines[-1] if lines else f"exit status {status}"
            raise VokraDataError(f"vokra-cli failed: {why}")
        if os.path.getsize(self.out_path) > MAX_FILE_BYTES:
            raise VokraDataError("vokra-cli printed far more than a Vokra file holds.")
        with open(self.out_path, "rb") as f:
            return f.read(MAX_FILE_BYTES + 1)

    def _too_much_output(self):
        """A tool pouring out output would fill the disk before the time limit."""
        try:
            return (os.path.getsize(self.out_path) > MAX_FILE_BYTES or
                    os.path.getsize(self.err_path) > MAX_FILE_BYTES)
        except OSError:
            return False

    def _end_group(self):
        try:
            os.killpg(self.popen.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass

    def end(self):
        self._end_group()
        try:
            self.popen.wait(timeout=5.0)  # SIGKILL ends it at once; the limit guards a stuck kernel
        except subprocess.TimeoutExpired:
            pass


class Run:
    """Drives a job: a generator that yields vokra-cli's arguments, is sent back each call's
    standard output, and returns the report when done. One deadline covers the whole job. Each
    tick() takes one step without waiting; wait() ticks until the end (for scripts)."""

    POLL_SECONDS = 0.05

    def __init__(self, tool, job_factory, timeout):
        self.tool, self.timeout = tool, timeout
        self.started = time.monotonic()
        self.deadline = self.started + timeout
        self.folder = tempfile.mkdtemp(prefix="vokra-")  # private: mode 0700, a fresh name
        self.process = None
        self.finished, self.result = False, None
        self.job = None
        try:
            self.job = job_factory(self.folder)
            self._advance(None)
        except BaseException:
            self.close()
            raise

    def elapsed(self):
        return time.monotonic() - self.started

    def _advance(self, output):
        """Sends `output` into the job and starts the call it asks for next."""
        try:
            args = self.job.send(output)
        except StopIteration as stop:
            self.finished, self.result = True, stop.value
            self.close()
            return
        step = tempfile.mkdtemp(dir=self.folder)
        self.process = Process(self.tool, args, step, self.deadline, self.timeout)

    def tick(self):
        """True when the job is done (its report in `result`); an error ends the run."""
        if self.finished:
            return True
        try:
            output = self.process.poll()
            if output is None:
                return False
            self.process = None
            self._advance(output)
        except BaseException:
            self.close()
            raise
        return self.finished

    def wait(self):
        while not self.tick():
            time.sleep(self.POLL_SECONDS)
        return self.result

    def close(self):
        """Ends the tool if it still runs, drops the job unfinished and removes the folder."""
        if self.process is not None:
            self.process.end()
            self.process = None
        if self.job is not None:
            self.job.close()
            self.job = None
        if self.folder is not None:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None


class Features:
    """What a vokra-cli can do, read from its --help page."""

    def __init__(self, page):
        self.is_vokra = b"autokey" in page
        self.shapes = b"--shapes" in page
        self.text = b"--text" in page

    def describe(self):
        can = ["keys"] + (["mouth shapes"] if self.shapes else []) + (
            ["scripts (--text)"] if self.text else [])
        return ", ".join(can)


_features = {}


def stamp(path):
    """A file's identity for a cache: its path, time and size; None when it cannot be read."""
    try:
        info = os.stat(path)
    except OSError:
        return None
    return (path, info.st_mtime_ns, info.st_size)


def known_features(tool):
    """The features of this exact file when its --help was read before, else None."""
    return _features.get(stamp(tool))


def features_job(tool):
    """A job step: yields the --help call (unless known) and returns the Features."""
    known = known_features(tool)
    if known is not None:
        return known
    page = yield ["--help"]
    found = Features(page)
    if not found.is_vokra:
        raise VokraDataError(f"{tool} does not look like vokra-cli: its --help names no "
                             "autokey command.")
    key = stamp(tool)
    if key is not None:
        _features[key] = found
    return found
