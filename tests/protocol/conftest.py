"""Runs the engine behind pipes: the command in ZELTO_ENGINE_CMD (for example
"wine build-win/pbrain-zelto.exe"), else the executable ZELTO_ENGINE, default
<repo>/build/pbrain-zelto. Every read has a generous timeout (CI also runs a slow
ThreadSanitizer build and a Windows build under wine), so a missing reply fails
instead of hanging."""
import contextlib
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
REPLY_TIMEOUT = 10.0

ABOUT_LINE = ('name="Zelto", author="Morlan Quist", version="1.6", '
              'country="Norway", www="https://zelto.example.org"')
STATS_RE = re.compile(r"message time=(\d+\.\d{6}) s, eval=(-?\d+), depth=(\d+), nodes=(\d+)")
MOVE_RE = re.compile(r"(-?\d+),(-?\d+)")


def text_of(raw):
    """The text of one output line, which must end in the build's line end."""
    assert raw.endswith(EOL) and b"\r" not in raw[:-len(EOL)], f"bad line end {raw!r}"
    return raw[:-len(EOL)].decode("latin-1")


def at(rows, x, y):  # the listing character of column x, row y
    return rows[y][x]


class Engine:
    def __init__(self):
        if not os.access(COMMAND[-1], os.R_OK):
            pytest.fail(f"engine executable not found: {COMMAND[-1]}")
        self.proc = subprocess.Popen(COMMAND, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, bufsize=0)
        self.lines = queue.Queue()  # raw output lines; None marks end of output
        self.pump = threading.Thread(target=self._pump, daemon=True)
        self.pump.start()

    def _pump(self):
        for raw in iter(self.proc.stdout.readline, b""):
            self.lines.put(raw)
        self.lines.put(None)

    def send(self, line, eol=b"\n"):
        data = line if isinstance(line, bytes) else line.encode("latin-1")
        self.proc.stdin.write(data + eol)
        self.proc.stdin.flush()

    def read_line(self, timeout=REPLY_TIMEOUT):
        try:
            raw = self.lines.get(timeout=timeout)
        except queue.Empty:
            pytest.fail(f"no reply within {timeout} s")
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
        self.send("ABOUT")
        assert self.read_line() == ABOUT_LINE

    def turn(self, allow_error=False):
        """Reads one turn's lines; returns (eval, (x, y), error line or None)."""
        stats = self.read_line()
        m = STATS_RE.fullmatch(stats)
        assert m, f"statistics line expected, got {stats!r}"
        self.last_time = float(m.group(1))  # seconds, as the engine measured the turn
        self.last_stats = tuple(int(g) for g in m.groups()[1:])  # eval, depth, nodes
        line, error = self.read_line(), None
        if line.startswith("ERROR my move") and allow_error:
            error, line = line, self.read_line()
        mv = MOVE_RE.fullmatch(line)
        assert mv, f"move line expected, got {line!r}"
        move = (int(mv.group(1)), int(mv.group(2)))
        assert error in (None, "ERROR my move [%d,%d]" % move)
        return int(m.group(2)), move, error

    def listing(self, height):
        self.send("PRINTBOARD")
        return [self.read_line() for _ in range(height)]

    def finish(self):
        """Waits for the exit; returns the status and the lines still written."""
        status = self.proc.wait(REPLY_TIMEOUT)
        self.pump.join(REPLY_TIMEOUT)
        rest = [text_of(raw) for raw in iter(self.lines.get_nowait, None)]
        self.lines.put(None)
        return status, rest

    def kill(self):
        """Stops the process; returns its status if it had already exited by itself."""
        status = self.proc.poll()
        if status is None:
            self.proc.kill()
        self.proc.wait()
        self.pump.join(REPLY_TIMEOUT)  # it sees end of output once the process is gone
        with contextlib.suppress(OSError):
            self.proc.stdin.close()
        self.proc.stdout.close()
        return status


@pytest.fixture
def make_engine():
    started = []

    def start():
        started.append(Engine())
        return started[-1]

    yield start
    # A process that died on its own (a crash, or a sanitizer report) fails the test.
    statuses = [eng.kill() for eng in started]
    assert all(s in (None, 0) for s in statuses), f"engine exit statuses {statuses}"


@pytest.fixture
def engine(make_engine):
    return make_engine()
