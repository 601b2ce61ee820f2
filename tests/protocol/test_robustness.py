"""Hostile input, a whole game, and queries that overlap a running turn."""
import random
import re

from conftest import ABOUT_LINE, MOVE_RE, STATS_RE

KEYWORDS = (b"info", b"start", b"rectstart", b"restart", b"turn", b"play",
            b"begin", b"about", b"end", b"board", b"takeback", b"printboard")


def test_hostile_lines_never_crash_or_hang(engine):
    engine.ask("START 15", "OK")
    bad, unknown = "ERROR bad coordinates", "UNKNOWN command"
    cases = [
        (b"TURN -,-", bad), (b"TURN ,,,,", bad), (b"PLAY +,+", bad),
        (b"TURN 99999999999999999999999,99999999999999999999", bad),
        (b"TURN -99999999999,-1", bad), (b"TURN 1,\x00 2", bad),
        (b"PLAY \xff\xff,\x00", bad), (b"TAKEBACK " + b"9" * 300, bad),
        (b"INFO timeout_turn 99999999999999", None), (b"INFO rule -99999999999", None),
        (b"INFO \xff\x00", None), (b"INFO folder " + b"\xfe" * 400, None),
        (b"," * 300, unknown), (b"\x00" * 50, unknown), (b"\xff" * 300, unknown),
        (b"-", unknown), (b"\x00ABOUT", unknown), (b"\r", unknown),
    ]
    rng = random.Random(20240611)
    while len(cases) < 300:
        line = bytes(rng.choice(range(256)) for _ in range(rng.choice([1, 5, 40, 400])))
        line = line.replace(b"\n", b"")
        if not line.lower().startswith(KEYWORDS):
            cases.append((line, unknown))
    for line, _ in cases:
        engine.send(line)
    for line, reply in cases:
        if reply is not None:
            assert engine.read_line() == reply, f"after {line[:40]!r}"
    engine.fence()
    engine.send("TURN 7,7")  # the board is still there and the engine still plays
    engine.turn()
    engine.ask("RECTSTART 99999999999,-99999999999", "ERROR bad RECTSTART parameters")
    assert engine.proc.poll() is None


# Whole-line shapes that may appear while turns overlap queries; a listing
# taken mid-turn may show trial stones and candidate marks.
SHAPES = [("a", re.escape(ABOUT_LINE)), ("s", STATS_RE.pattern), ("m", MOVE_RE.pattern),
          ("e", r"ERROR opponents's move \[\d+,\d+\]"), ("r", r"[-XxOo+]{20}")]


def classify(line):
    for kind, pattern in SHAPES:
        if re.fullmatch(pattern, line):
            return kind
    raise AssertionError(f"line of unknown shape {line!r}")


def test_queries_during_turns_never_mix_lines(engine):
    engine.ask("START 20", "OK")
    engine.send("INFO timeout_turn 200")
    commands = ["BOARD", "9,9,2", "10,10,2", "11,9,1", "9,11,2", "10,9,1", "DONE",
                "ABOUT", "PRINTBOARD", "ABOUT"]
    for x, y in [(0, 0), (19, 19), (0, 19), (19, 0), (10, 3)]:
        commands += ["TURN %d,%d" % (x, y), "PRINTBOARD", "ABOUT"]
    for line in commands:
        engine.send(line)
    kinds = ""
    while kinds.count("m") < 6 or kinds.count("a") < 7 or kinds.count("r") < 120:
        kinds += classify(engine.read_line())
    # Each listing is written as one block, and each turn as stats then move
    # (an occupied cell is reported before its turn starts).
    assert all(len(run) % 20 == 0 for run in re.findall("r+", kinds)), kinds
    assert re.fullmatch(r"(e?sm)+", re.sub("[ar]", "", kinds)), kinds
    rows = engine.listing(20)
    assert all(re.fullmatch(r"[-XO]{20}", r) for r in rows)
    assert "".join(rows).count("X") == 2 + 6
    engine.fence()  # nothing else was written
