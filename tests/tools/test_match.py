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

FAST = match.Config(turn_ms=300, tolerance_ms=200, hang_s=0.5, exit_s=1.0)


def fake(*tokens):
    return shlex.join([sys.executable, os.path.join(HERE, "fake_engine.py"), *tokens])


def row(y, xs):
    return ["%d,%d" % (x, y) for x in xs]


def play(first, second, width=7, height=7):
    players = [match.EnginePlayer("A", first, FAST), match.EnginePlayer("B", second, FAST)]
    return match.play_game(1, players, width, height)


def test_drives_engines_like_a_manager_and_judges_five(tmp_path):
    log = tmp_path / "b.log"
    result = play(fake(*row(0, range(5))), fake("--log", str(log), *row(1, range(4))), width=9)
    assert (result.winner, result.reason, result.failures) == (0, "five in a row", [])
    left = "INFO time_left %d" % match.NO_LIMIT
    assert log.read_text().splitlines() == ["RECTSTART 9,7", "INFO rule 0", "INFO timeout_turn 300",
                                            "INFO timeout_match 0", "INFO max_memory 83886080",
                                            left, "BOARD", "0,0,2", "DONE"] \
        + sum(([left, "TURN %d,0" % x] for x in range(1, 4)), []) + ["END"]
    # Five or more: a broken diagonal is not, an overline is.
    g = match.Game(9, 9)
    for move in [(1, 7), (2, 6), (4, 4), (5, 3), (6, 2)]:
        g.play(0, move, 0, None)
    assert not g.five((4, 4))
    g.play(0, (3, 5), 0, None)
    assert g.five((1, 7))


def test_full_board_is_a_draw():
    cells = ["XXOOX", "OOXXO", "XXOOX", "OOXXO", "XXOOX"]
    stones = {c: ["%d,%d" % (x, y) for y in range(5) for x in range(5) if cells[y][x] == c] for c in "XO"}
    result = play(fake(*stones["X"]), fake(*stones["O"]), 5, 5)
    assert (result.winner, result.reason, result.failures, len(result.game.moves)) == \
        (None, "full board", [], 25)


@pytest.mark.parametrize("first, second, failures", [
    (["0,0", "crash"], ["1,1", "2,2"], [("A", "crash", "output ended (exit status 3)")]),
    (["0,0", "hang"], ["1,1", "2,2"], [("A", "hang", "no move 0.5 s after the limit")]),
    (["0,0", "late:800:2,2"], ["1,1", "2,2"], [("A", "time", "limit 300 ms")]),
    (["0,0", "1,1"], ["1,1", "2,2"], [("A", "illegal", "1,1 is on a stone")]),
    (["0,0", "7,0"], ["1,1", "2,2"], [("A", "illegal", "7,0 is off the board")]),
    (["0,0", "-1,-1"], ["1,1", "2,2"], [("A", "illegal", "-1,-1 is no move (-1,-1)")]),
    (["--stay", *row(0, range(5))], ["junk:0,1", *row(1, range(1, 4))],
     [("A", "exit", "still running"), ("B", "protocol", "unexpected line 'what?'")]),
])
def test_faults_are_failures(first, second, failures):
    result = play(fake(*first), fake(*second))
    assert result.winner == (0 if "--stay" in first else 1)
    assert sorted((n, k) for n, k, _ in result.failures) == [f[:2] for f in failures]
    assert all(f[2] in d for (_, _, d), f in zip(sorted(result.failures), failures))


def test_strict_match_fails_on_any_failure(tmp_path):
    argv = ["match", fake("0,0", "crash"), fake("1,1"), "--games", "1", "--strict",
            "--names", "A,B", "--records", str(tmp_path)]
    assert match.main(argv) == 1
    assert "result B wins (A lost by crash: output ended" in (tmp_path / "game-0001.txt").read_text()


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


def test_psq_records_as_a_tournament_judge_writes_them(tmp_path):
    # Game 1: A (engine 1) first makes five in row 0; game 2: B first runs out
    # of moves and so loses by a crash, A (second) winning.
    argv = ["match", fake(*row(0, range(5))), fake(*row(1, range(4))), "--games", "2",
            "--sizes", "9x7", "--name", "ENGINE25.zip", "--name", "Pente, Master",
            "--records", str(tmp_path / "records"), "--psq", str(tmp_path / "psq"),
            "--league", "Freestyle9_1"]
    assert match.main(argv) == 0
    league = tmp_path / "psq" / "Freestyle9_1"
    assert sorted(os.listdir(league)) == ["1_1_2_1.psq", "2_2_1_2.psq"]
    lines = (league / "1_1_2_1.psq").read_bytes().decode().split("\r\n")
    assert lines[0] == "zelto-match 9x7, 1:2, 0"
    cells = [(x, y) for x in range(5) for y in (0, 1)][:9]
    moves = [tuple(map(int, m.split(",")[:2])) for m in lines[1:10]]
    assert moves == [(x + 1, y + 1) for x, y in cells]
    assert all(re.fullmatch(r"\d+,\d+,\d+", m) for m in lines[1:10])
    assert lines[10:] == ["ENGINE25.zip", "Pente, Master", "-1", "0,Freestyle9_1", ""]
    second = (league / "2_2_1_2.psq").read_bytes().decode().split("\r\n")
    assert second[-5:-3] == ["Pente, Master", "ENGINE25.zip"]


@pytest.mark.parametrize("options", [
    ["--league", ".."], ["--league", "a/b"], ["--name", "A"], ["--names", "A,B,C"],
    ["--name", "A", "--name", "B", "--names", "C,D"], ["--name", "A\nB", "--name", "C"],
])
def test_psq_options_that_are_refused(tmp_path, options):
    with pytest.raises(SystemExit):
        match.main(["match", "a", "b", "--psq", str(tmp_path), *options])
    assert os.listdir(tmp_path) == []
