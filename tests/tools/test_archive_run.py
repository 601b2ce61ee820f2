"""zelto-review on a tournament's archive: 320 games that tools/match.py plays
into two league folders, reviewed from the folder and from its zip, with one
worker and two, interrupted and resumed, and split across GNU parallel, and
the players' table checked against counts made from the JSON lines.

The engine's own turn runs on a clock, so a chain verdict that its threat
search gives within the budget in one run may be cut in another; the
comparisons leave out the chain's verdicts and the engine's move, and hold
every whole-board verdict, forced win, line and count.
"""
import json
import os
import pty
import random
import re
import shutil
import signal
import subprocess
import sys
import time
import zipfile
from collections import Counter
from pathlib import Path

import pytest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "bench"))
import review_archive  # noqa: E402
REVIEW, ENGINE = review_archive.REVIEW, review_archive.ENGINE
TURN_MS = "20"
# A whole review of the archive takes about 20 s on one quiet core.
TIMEOUT = 900
WHOLE_BOARD = ("five", "fours")
FAULTS = [("missed-win", "five"), ("missed-block", "five"), ("missed-win", "fours"),
          ("allowed-win", "fours")]


@pytest.fixture(scope="module")
def archive(tmp_path_factory):
    """The folder results/ with Freestyle15/ (Zelto against a noisy copy) and
    Fastgame15/ (two noisier copies), 160 games each, and results.zip of it."""
    for path in (REVIEW, ENGINE):
        if not os.access(path, os.X_OK):
            pytest.fail("no %s: build it first (cmake --build build)" % path)
    folder, zipped = review_archive.make_archive(str(tmp_path_factory.mktemp("archive")), 160,
                                                 int(TURN_MS), TIMEOUT)
    folder, zipped = Path(folder), Path(zipped)
    assert sum(1 for _ in folder.rglob("*.psq")) == 320
    with zipfile.ZipFile(zipped) as z:
        assert len(z.namelist()) == 320
    return folder, zipped


def review(*args, **kwargs):
    return subprocess.run([REVIEW, *map(str, args)], capture_output=True, text=True,
                          timeout=TIMEOUT, **kwargs)


def comparable(game, prefix):
    """A game's JSON without what the engine's clock decides, its source
    without `prefix`."""
    game = dict(game, source=game["source"][len(prefix):])
    # A move without a whole-board verdict may have a chain verdict in one run
    # and none in another.
    game["moves"] = [{k: v for k, v in m.items() if k != "engine"} if m["kind"] in WHOLE_BOARD
                     else {k: m[k] for k in ("move", "player", "x", "y", "forced", "cut")}
                     for m in game["moves"]]
    return json.dumps(game, sort_keys=True)


def json_lines(path):
    text = path.read_text(encoding="utf-8")
    assert text == "" or text.endswith("\n"), "a line cut short"
    return [json.loads(line) for line in text.splitlines()]


def whole_board_lines(stdout, prefix):
    """A text run's lines of whole-board verdicts, summaries and table, without
    `prefix` and the chain's verdicts (and the summaries' counts of them)."""
    kept = []
    for line in stdout.splitlines():
        if re.search(r": [a-z-]+: Zelto ", line):
            continue  # the chain's sentences name the engine
        kept.append(line.replace(prefix, ""))
    return [re.sub(r"\d+ missed-win, \d+ missed-block, \d+ allowed-win", "", line)
            for line in kept]


@pytest.fixture(scope="module")
def one_worker(archive, tmp_path_factory):
    folder, _ = archive
    out = tmp_path_factory.mktemp("j1") / "games.jsonl"
    done = review(folder, "-j", 1, "--turn-ms", TURN_MS, "--jsonl", out)
    assert (done.returncode, done.stderr) == (0, "")
    return done.stdout, json_lines(out)


def test_folder_zip_and_two_workers_give_the_same_games(archive, one_worker, tmp_path):
    folder, zipped = archive
    stdout, games = one_worker
    assert len(games) == 320
    assert stdout.splitlines()[-1] == "320 games reviewed, 0 records skipped"
    # Arguments in order, then paths in byte order.
    assert [g["source"] for g in games] == sorted(g["source"] for g in games)
    assert games[0]["source"].startswith(str(folder) + "/Fastgame15/")
    expected = [comparable(g, str(folder) + "/") for g in games]
    for path, prefix in ((folder, str(folder) + "/"), (zipped, str(zipped) + ":")):
        out = tmp_path / ("two-%s.jsonl" % path.name)
        done = review(path, "-j", 2, "--turn-ms", TURN_MS, "--jsonl", out)
        assert (done.returncode, done.stderr) == (0, "")
        assert [comparable(g, prefix) for g in json_lines(out)] == expected
        assert whole_board_lines(done.stdout, prefix) == \
            whole_board_lines(stdout, str(folder) + "/")


def test_players_table_matches_counts_from_the_json_lines(one_worker):
    stdout, games = one_worker
    players = {}
    for g in games:
        for side in ("black", "white"):
            name = g["players"][side]
            p = players.setdefault(name, Counter())
            p["games"] += 1
            p["won" if g["winner"] == side else "drawn" if g["winner"] is None else "lost"] += 1
            for m in g["moves"]:
                if m["player"] == side:
                    p["moves"] += 1
                    p[(m["verdict"], m["kind"])] += 1
    assert sorted(players) == ["Noisy", "Rookie", "Wild", "Zelto"]
    rows = {}
    for line in stdout.splitlines():
        fields = line.split()
        if fields and fields[0] in players:
            rows[fields[0]] = fields
    assert len(rows) == 4
    for name, p in players.items():
        fields = rows[name]
        assert [int(f) for f in fields[1:6]] == \
            [p["games"], p["won"], p["lost"], p["drawn"], p["moves"]]
        assert [int(fields[6 + 2 * i]) for i in range(4)] == [p[f] for f in FAULTS]
        for i, fault in enumerate(FAULTS):
            rate = 100.0 * p[fault] / p["moves"] if p["moves"] else 0.0
            assert fields[7 + 2 * i] == "(%.2f)" % rate
    # Zelto should win most of its games against a copy that plays at random
    # half the time; a table that swapped sides would not show it.
    assert players["Zelto"]["won"] > players["Zelto"]["lost"]


def live_workers(marker):
    """The processes, but zombies, whose command line holds `marker`."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read()
            with open("/proc/%s/stat" % pid) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            continue
        if marker.encode() in cmdline and state != "Z":
            found.append(int(pid))
    return found


def wait_for_lines(path, count, process):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline and process.poll() is None:
        if path.exists() and path.read_bytes().count(b"\n") >= count:
            return
        time.sleep(0.02)
    pytest.fail("the run ended or stalled before %d lines" % count)


def test_killed_twice_and_resumed_gives_every_game_once(archive, one_worker, tmp_path):
    folder, zipped = archive
    _, games = one_worker
    out = tmp_path / "resumed.jsonl"
    rng = random.Random(29)
    args = [REVIEW, str(zipped), "-j", "2", "--turn-ms", TURN_MS, "--jsonl", str(out)]
    # The first run is killed as a whole by Ctrl-C (SIGINT to its group), the
    # second by a kill of the command alone, which leaves its workers to end
    # on their own.
    for kill, lines in (("interrupt", 40), ("kill", 150)):
        # A shell's background job ignores Ctrl-C, and so would the reviewer
        # that this test starts from one: give it the terminal's default.
        process = subprocess.Popen(args + (["--resume"] if out.exists() else []),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   start_new_session=True,
                                   preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        try:
            wait_for_lines(out, lines, process)
            time.sleep(rng.uniform(0, 0.5))
            if kill == "interrupt":
                os.killpg(process.pid, signal.SIGINT)
            else:
                process.kill()
            process.wait(timeout=60)
        finally:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
            process.stderr.close()
        deadline = time.monotonic() + 10
        while live_workers(str(out)) and time.monotonic() < deadline:
            time.sleep(0.05)
        assert live_workers(str(out)) == []
        assert process.returncode in (-signal.SIGINT, -signal.SIGKILL)
        text = out.read_bytes()
        # Whole lines, each a game, as the kill may have cut only the last.
        whole = text[:text.rfind(b"\n") + 1]
        assert len([json.loads(line) for line in whole.splitlines()]) >= lines
    done = review(zipped, "-j", 2, "--turn-ms", TURN_MS, "--jsonl", out, "--resume")
    assert (done.returncode, done.stderr) == (0, "")
    assert re.fullmatch(r"320 games reviewed \(\d+ of them before, in .*\), 0 records skipped",
                        done.stdout.splitlines()[-1])
    resumed = json_lines(out)
    assert Counter(comparable(g, str(zipped) + ":") for g in resumed) == \
        Counter(comparable(g, str(folder) + "/") for g in games)
    # Without --resume the file is not overwritten; once complete, a resume has nothing to do.
    again = review(zipped, "--jsonl", out)
    assert again.returncode == 1 and "give --resume" in again.stderr
    again = review(zipped, "--jsonl", out, "--resume")
    assert again.returncode == 0
    assert again.stdout.splitlines()[-1].startswith("320 games reviewed (320 of them before")
    assert out.read_bytes().count(b"\n") == 320


def test_gnu_parallel_runs_merge_into_one_report(archive, one_worker, tmp_path):
    if not shutil.which("parallel"):
        pytest.fail("no GNU parallel: install Debian's parallel")
    folder, _ = archive
    stdout, _ = one_worker
    files = "".join(str(p) + "\n" for p in sorted(folder.rglob("*.psq")))
    # The recipe of the README: the file list in parts of 50, one reviewer a
    # part, each writing its own JSON lines, then one report from them all.
    subprocess.run(["parallel", "--will-cite", "-j", "2", "-n", "50", REVIEW, "-j", "1",
                    "--turn-ms", TURN_MS, "--jsonl", str(tmp_path / "part{#}.jsonl"), "{}"],
                   input=files, text=True, check=True, capture_output=True, timeout=TIMEOUT)
    parts = sorted(tmp_path.glob("part*.jsonl"))
    assert len(parts) == 7
    page = tmp_path / "report.html"
    merged = review("--from", *parts, "--report", page)
    assert (merged.returncode, merged.stderr) == (0, "")
    table = stdout[stdout.index("\n\n") + 2:].splitlines(True)
    assert merged.stdout == "".join(table[:-1])
    assert "320 games, 4 players" in page.read_text()


def test_progress_line_on_a_terminal_only(archive, tmp_path):
    folder, _ = archive
    league = folder / "Freestyle15"
    parent, child = pty.openpty()
    try:
        done = subprocess.run([REVIEW, str(league), "-j", "2", "--final"],
                              stdout=subprocess.PIPE, stderr=child, timeout=TIMEOUT)
        os.close(child)
        child = -1
        shown = b""
        while True:
            try:
                chunk = os.read(parent, 65536)
            except OSError:  # the terminal's other end is closed: all is read
                break
            if not chunk:
                break
            shown += chunk
    finally:
        os.close(parent)
        if child >= 0:
            os.close(child)
    assert done.returncode == 0
    text = shown.decode()
    assert "160 of 160 games" in text
    assert re.search(r"\r\d+ of 160 games, [\d.]+ games/s, about \d+ s left\x1b\[K", text)
    # The line is taken off at the end, and nothing else was written.
    assert text.endswith("\r\x1b[K")
    assert re.sub(r"\r[^\r]*?\x1b\[K", "", text) == ""
    quiet = review(league, "-j", 2, "--final")
    assert (quiet.returncode, quiet.stderr) == (0, "")
