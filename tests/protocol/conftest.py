"""Runs the engine behind pipes: the command in ZELTO_ENGINE_CMD (for example
"wine build-win/pbrain-zelto.exe"), else the executable ZELTO_ENGINE, default
<repo>/build/pbrain-zelto. Every read has a generous timeout (CI also runs a
slow ThreadSanitizer build and a Windows build under wine), so a missing reply
fails instead of hanging.

A test that lets the engine search from a position whose search is not small
and fixed gives it a budget (TURN_BUDGET, or one of its own) far inside that
timeout: the threat search stops at 95% of the budget on any build, however
slow, so no turn can outlast a read. Timing assertions allow SLOWDOWN times
their Release margin; CTest passes the build's ZELTO_SANITIZE, so a sanitizer
build runs with its own margins however it was configured."""
import os
import queue
import re
import shlex
import subprocess
import threading

import pytest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ENGINE = os.environ.get("ZELTO_ENGINE", os.path.join(REPO, "build", "pbrain-zelto"))
COMMAND = shlex.split(os.environ.get("ZELTO_ENGINE_CMD", "")) or [ENGINE]
# A Windows build writes its replies in text mode: every line ends in CR LF.
EOL = b"\r\n" if COMMAND[-1].lower().endswith(".exe") else b"\n"
TIMEOUT = 10.0
TURN_BUDGET = "INFO timeout_turn 500"
# How much slower than Release the engine under test computes: ThreadSanitizer
# is the slowest build that runs these tests.
_SANITIZERS = os.environ.get("ZELTO_SANITIZE", "")
SLOWDOWN = 10 if "thread" in _SANITIZERS else 4 if _SANITIZERS else 1
ABOUT_LINE = ('name="Zelto", author="Morlan Quist", version="1.6", '
              'country="Norway", www="https://zelto.example.org"')
STATS_RE = re.compile(r"message time=(\d+\.\d{6}) s, eval=(-?\d+), depth=(\d+), nodes=(\d+)")
MOVE_RE = re.compile(r"(-?\d+),(-?\d+)")


def text_of(raw):
    assert raw.endswith(EOL) and b"\r" not in raw[:-len(EOL)], f"bad line end {raw!r}"
    return raw[:-len(EOL)].decode("latin-1")


class Engine:
    def __init__(self):
        self.proc = subprocess.Popen(COMMAND, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.lines = queue.Queue()  # raw output lines; None marks the end of output
        self.pump = threading.Thread(target=self._pump, daemon=True)
        self.pump.start()

    def _pump(self):
        for raw in iter(self.proc.stdout.readline, b""):
            self.lines.put(raw)
        self.lines.put(None)

    def send(self, *lines, eol=b"\n"):
        for line in lines:
            self.proc.stdin.write((line if isinstance(line, bytes) else line.encode("latin-1")) + eol)
        self.proc.stdin.flush()

    def read_line(self):
        try:
            raw = self.lines.get(timeout=TIMEOUT)
        except queue.Empty:
            pytest.fail(f"no reply within {TIMEOUT} s")
        if raw is None:
            self.lines.put(None)
            pytest.fail(f"engine output ended (exit status {self.proc.poll()})")
        return text_of(raw)

    def expect(self, *lines):
        assert [self.read_line() for _ in lines] == list(lines)

    def ask(self, line, *replies):
        self.send(line)
        self.expect(*replies)

    def fence(self):
        # ABOUT never waits: with the engine idle its reply is the very next line.
        self.ask("ABOUT", ABOUT_LINE)

    def turn(self):
        """Reads one turn's lines; returns (x, y) and keeps the statistics."""
        m = STATS_RE.fullmatch(self.read_line())
        assert m, "statistics line expected"
        self.seconds, self.stats = float(m.group(1)), tuple(map(int, m.groups()[1:]))
        move = MOVE_RE.fullmatch(self.read_line())
        assert move, "move line expected"
        return int(move.group(1)), int(move.group(2))

    def listing(self, height):
        self.send("PRINTBOARD")
        return [self.read_line() for _ in range(height)]

    def finish(self):
        """Waits for the exit; returns the status and the lines still written."""
        status = self.proc.wait(TIMEOUT)
        self.pump.join(TIMEOUT)
        return status, [text_of(raw) for raw in iter(self.lines.get_nowait, None)]


@pytest.fixture
def make_engine():
    started = []
    yield lambda: started.append(Engine()) or started[-1]
    # A process that died on its own (a crash, a sanitizer report) fails the test.
    statuses = [e.proc.poll() for e in started]
    for e in started:
        e.proc.kill()
        e.proc.wait()
    assert all(s in (None, 0) for s in statuses), f"engine exit statuses {statuses}"


@pytest.fixture
def engine(make_engine):
    return make_engine()
