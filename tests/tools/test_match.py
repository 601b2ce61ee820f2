"""The match runner against scripted engines: what it sends, and how it judges."""
import os
import re
import shlex
import string
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tools"))
import match  # noqa: E402

FAKE = [sys.executable, os.path.join(HERE, "fake_engine.py")]
FAST = match.Config(turn_ms=300, tolerance_ms=200, hang_s=0.5, exit_s=1.0)


def fake(*tokens):
    return shlex.join(FAKE + list(tokens))


def play(first, second, width=7, height=7, config=FAST):
    players = [match.EnginePlayer("A", first, config), match.EnginePlayer("B", second, config)]
    return match.play_game(1, players, width, height)


def row(y, xs):
    return ["%d,%d" % (x, y) for x in xs]


def test_drives_engines_like_a_manager_and_judges_five(tmp_path):
    logs = [tmp_path / "a.log", tmp_path / "b.log"]
    result = play(fake("--log", str(logs[0]), *row(0, range(5))),
                  fake("--log", str(logs[1]), *row(1, range(4))), width=9)
    assert (result.winner, result.reason, result.failures) == (0, "five in a row", [])
    assert [m[1] for m in result.game.moves][-2:] == [(3, 1), (4, 0)]
    assert all(m[3] == 7 for m in result.game.moves)  # nodes from the MESSAGE line
    setup = ["RECTSTART 9,7", "INFO rule 0", "INFO timeout_turn 300",
             "INFO timeout_match 0", "INFO max_memory 83886080"]
    left = "INFO time_left %d" % match.NO_LIMIT
    a, b = (log.read_text().splitlines() for log in logs)
    assert a == setup + [left, "BEGIN"] + sum(([left, "TURN %d,1" % x] for x in range(4)), []) \
        + ["END"]
    assert b == setup + [left, "BOARD", "0,0,2", "DONE"] \
        + sum(([left, "TURN %d,0" % x] for x in range(1, 4)), []) + ["END"]
    text = match.record_text(result)
    assert "9. X 4,0 " in text and "result A wins (five in a row)" in text


def test_five_or_more_and_full_board_draw():
    g = match.Game(9, 9)
    for x, y in [(1, 7), (2, 6), (4, 4), (5, 3), (6, 2), (0, 0), (1, 0), (2, 0), (3, 0)]:
        g.play(0, (x, y), 0, None)
    assert not g.five((3, 0)) and not g.five((4, 4))  # four, and a broken diagonal
    g.play(0, (3, 5), 0, None)  # closes the gap: six on the diagonal
    assert g.five((3, 5)) and g.five((1, 7))
    # A 5 x 5 draw: the runner declares it instead of asking for a 26th move,
    # which the scripted engines would answer by crashing.
    cells = ["XXOOX", "OOXXO", "XXOOX", "OOXXO", "XXOOX"]
    stones = {c: ["%d,%d" % (x, y) for y in range(5) for x in range(5) if cells[y][x] == c]
              for c in "XO"}
    result = play(fake(*stones["X"]), fake(*stones["O"]), 5, 5)
    assert (result.winner, result.reason, result.failures) == (None, "full board", [])
    assert len(result.game.moves) == 25


@pytest.mark.parametrize("token, kind, detail", [
    ("crash", "crash", "output ended (exit status 3)"),
    ("hang", "hang", "no move 0.5 s after the limit"),
    ("late:800:2,2", "time", "limit 300 ms"),
    ("1,1", "illegal", "1,1 is on a stone"),
    ("7,0", "illegal", "7,0 is off the board"),
    ("-1,-1", "illegal", "-1,-1 is no move (-1,-1)"),
])
def test_faults_lose_the_game(token, kind, detail):
    result = play(fake("0,0", token), fake("1,1", "2,2"))
    assert result.winner == 1 and len(result.game.moves) == 2
    (name, got_kind, got_detail), = result.failures
    assert (name, got_kind) == ("A", kind) and detail in got_detail


def test_faults_that_do_not_decide_the_game_are_counted():
    result = play(fake("--stay", *row(0, range(5))), fake("junk:0,1", *row(1, range(1, 4))))
    assert result.winner == 0
    assert sorted(f[:2] for f in result.failures) == [("A", "exit"), ("B", "protocol")]
    text, kinds = match.summary([result], ["A", "B"])
    assert kinds == {"exit": 1, "protocol": 1}
    assert "A: 1 wins, 0 losses, 0 draws" in text and "failures: exit 1, protocol 1" in text


def test_match_clock(tmp_path):
    # 300 ms for the match: the second 200 ms move overdraws it.
    log = tmp_path / "a.log"
    config = match.Config(turn_ms=1000, match_ms=300, tolerance_ms=50, hang_s=1.0)
    result = play(fake("--log", str(log), "late:200:0,0", "late:200:1,0"), fake("0,1"), config=config)
    assert result.failures[0][:2] == ("A", "time")
    lefts = [int(line.split()[-1]) for line in log.read_text().splitlines() if "time_left" in line]
    assert lefts[0] == 300 and 0 < lefts[1] <= 100


def test_strict_match_fails_on_any_failure(tmp_path):
    argv = ["match", fake("0,0", "crash"), fake("1,1"), "--games", "1", "--strict",
            "--names", "A,B", "--records", str(tmp_path)]
    assert match.main(argv) == 1
    record = (tmp_path / "game-0001.txt").read_text()
    assert "result B wins (A lost by crash: output ended" in record


def test_sgf_records_parse_back_to_the_games(tmp_path):
    # Columns 25 to 29 need both letter cases; game 2 swaps colours and ends
    # when the first player's script runs out (a crash, so a forfeit).
    sgf = tmp_path / "games.sgf"
    argv = ["match", fake(*row(0, range(25, 30))), fake(*row(1, range(25, 29))), "--games", "2",
            "--sizes", "30x7", "--names", "A,B", "--records", str(tmp_path), "--sgf", str(sgf)]
    assert match.main(argv) == 0
    expected = [("B+", [(25 + i // 2, i % 2) for i in range(9)]),
                ("W+F", [(25 + i // 2, 1 - i % 2) for i in range(8)])]
    games = sgf.read_text().splitlines()
    assert len(games) == 2
    for text, (result, cells) in zip(games, expected):
        assert text.startswith("(;") and text.endswith(")")
        root = dict(re.findall(r"([A-Z]+)\[([^\]]*)\]", text.split(";")[1]))
        assert (root["FF"], root["GM"], root["SZ"], root["RE"]) == ("4", "4", "30:7", result)
        moves = re.findall(r";([BW])\[([a-zA-Z])([a-zA-Z])\]", text)
        assert [(c, string.ascii_letters.index(x), string.ascii_letters.index(y))
                for c, x, y in moves] == [("BW"[i % 2], x, y) for i, (x, y) in enumerate(cells)]
    with pytest.raises(SystemExit):  # 53 columns have no SGF letter
        match.main(["match", "a", "b", "--sizes", "15,53x20", "--sgf", str(sgf)])


@pytest.mark.parametrize("sizes", [1, 2, 3])
def test_colours_alternate_and_every_size_is_played_both_ways(sizes):
    orders = [match.colour_order(i, sizes) for i in range(4 * sizes)]
    assert orders[0] == [0, 1] and orders[1] == [1, 0]
    for size in range(sizes):
        assert {tuple(orders[i]) for i in range(size, 4 * sizes, sizes)} == {(0, 1), (1, 0)}
