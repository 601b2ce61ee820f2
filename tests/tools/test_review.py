"""zelto-review on records as players and runners have them: its verdicts on a
known game as SGF and PSQ, every game of a file written by the match runner,
SGF as other runners write it, and bad input. The command is ZELTO_REVIEW,
default <repo>/build/zelto-review."""
import json
import os
import re
import subprocess
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
REVIEW = os.environ.get("ZELTO_REVIEW", os.path.join(REPO, "build", "zelto-review"))
ENGINE = os.path.join(REPO, "build", "pbrain-zelto")
TIMEOUT = 120

# Black's open three in row 7: White plays elsewhere (Black then wins by
# fours), then Black too (a missed win by fours).
EXAMPLE_SGF = "(;FF[4]GM[4]SZ[15];B[hh];W[aa];B[ih];W[ab];B[jh];W[ac];B[oo])\n"
EXAMPLE_PSQ = ("Piece 15x15, 11:11, 0\r\n8,8,120\r\n1,1,0\r\n9,8,1\r\n1,2,0\r\n10,8,0\r\n"
               "1,3,0\r\n15,15,0\r\nblack.exe\r\nwhite.exe\r\n-1\r\n")
EXPECTED_TEXT = [
    "game 1, move 6, white 0,2: allowed-win: After this move Black wins by fours: 6,7 (5,7) "
    "five at 10,7; a White stone at 6,7 or 10,7 would have stopped it.",
    "game 1, move 7, black 14,14: missed-win: Black could have won by fours from 6,7 or 10,7: "
    "6,7 (5,7) five at 10,7.",
    "game 1: 7 moves, 1 missed-win, 0 missed-block, 1 allowed-win, no five on the board; "
    "white to move has no win by fours",
]
# The players' table that ends a text run: without names in the record, the
# players are the sides.
EXPECTED_TABLE = [
    "",
    "1 game, 2 players; whole-board verdicts on each player's own moves: count (per 100 moves)",
    "player  games  won  lost  drawn  moves  missed five  missed block  missed fours  "
    "allowed fours  boards (won/lost/drawn)",
    "Black       1    0     0      1      4     0 (0.00)      0 (0.00)     1 (25.00)       "
    "0 (0.00)  15x15 0/0/1",
    "White       1    0     0      1      3     0 (0.00)      0 (0.00)      0 (0.00)      "
    "1 (33.33)  15x15 0/0/1",
    "0 games where the loser once had a win by fours",
]


def review(*args):
    if not os.access(REVIEW, os.X_OK):
        pytest.fail("no %s: build it first (cmake --build build)" % REVIEW)
    return subprocess.run([REVIEW, *map(str, args)], capture_output=True, text=True,
                          timeout=TIMEOUT)


def reviewed(path, *args):
    done = review(path, "--json", *args)
    assert (done.returncode, done.stderr) == (0, ""), done.stderr
    return json.loads(done.stdout)


@pytest.mark.parametrize("name, text", [("game.sgf", EXAMPLE_SGF), ("game.psq", EXAMPLE_PSQ)])
def test_example_game_as_sgf_and_psq(tmp_path, name, text):
    path = tmp_path / name
    path.write_bytes(text.encode())
    done = review(path)
    assert (done.returncode, done.stderr, done.stdout.splitlines()) == \
        (0, "", EXPECTED_TEXT + EXPECTED_TABLE)
    [game] = reviewed(path)
    assert (game["game"], game["size"], game["winner"]) == (1, [15, 15], None)
    moves = game["moves"]
    assert [(m["move"], m["player"], m["x"], m["y"]) for m in moves] == [
        (1, "black", 7, 7), (2, "white", 0, 0), (3, "black", 8, 7), (4, "white", 0, 1),
        (5, "black", 9, 7), (6, "white", 0, 2), (7, "black", 14, 14)]
    assert [m["verdict"] for m in moves] == [None] * 5 + ["allowed-win", "missed-win"]
    assert [m["kind"] for m in moves] == [None] * 5 + ["fours", "fours"]
    assert moves[5]["cells"] == moves[6]["cells"] == [[6, 7], [10, 7]]
    assert moves[5]["line"] == moves[6]["line"] == [[6, 7], [5, 7], [10, 7]]
    # Black, to move at move 7, wins by fours; nobody earlier does.
    assert [m["forced"] for m in moves] == [None] * 6 + [
        {"side": "black", "line": [[6, 7], [5, 7], [10, 7]]}]
    assert all(m["text"] == "" and m["cells"] == [] and m["line"] == [] for m in moves[:5])
    assert not any(m["cut"] for m in moves)
    assert game["final"] == {"to_move": "white", "forced": None, "cut": False}


def match_games(tmp_path, name, engines, games, size, turn_ms):
    sgf = tmp_path / name
    subprocess.run([sys.executable, os.path.join(REPO, "tools", "match.py"), "match", *engines,
                    "--games", str(games), "--size", size, "--turn-ms", str(turn_ms),
                    "--records", str(tmp_path / "records"), "--sgf", str(sgf)],
                   check=True, capture_output=True, timeout=TIMEOUT)
    return sgf


def fake(*moves):
    return " ".join([sys.executable, os.path.join(HERE, "fake_engine.py"), *moves])


def check_winners(sgf, reviewed_games):
    """Every game whose RE says it was won by five has that winner on the board."""
    results = re.findall(r"RE\[([^\]]*)\]", sgf.read_text())
    assert len(results) == len(reviewed_games)
    decisive = 0
    for result, game in zip(results, reviewed_games):
        if result in ("B+", "W+"):
            assert game["winner"] == {"B+": "black", "W+": "white"}[result], game["game"]
            decisive += 1
        elif result == "0":
            assert game["winner"] is None
    return decisive


def test_every_game_of_the_match_runner(tmp_path):
    # Scripted engines: the first player makes five in row 0, then (colours
    # swapped) the other player does. Then Zelto against the noisy opponent,
    # whose games have winners more often than Zelto's against itself.
    row = ["%d,0" % x for x in range(5)]
    other = ["%d,2" % x for x in range(5)]
    sgf = match_games(tmp_path, "scripted.sgf", [fake(*row, *other), fake(*other, *row)], 2, "9", 300)
    games = reviewed(sgf, "--turn-ms", 50)
    assert [(g["game"], g["winner"]) for g in games] == [(1, "black"), (2, "black")]
    assert check_winners(sgf, games) == 2
    noisy = " ".join([sys.executable, os.path.join(REPO, "bench", "noisy_engine.py"), ENGINE])
    sgf = match_games(tmp_path, "engines.sgf", [ENGINE, noisy], 3, "10", 20)
    games = reviewed(sgf, "--turn-ms", 20)
    assert [g["game"] for g in games] == [1, 2, 3]
    check_winners(sgf, games)
    # Verdicts may differ from run to run where time cuts a search: the moves may not.
    [second] = reviewed(sgf, "--turn-ms", 20, "--game", 2)
    cells = [[(m["x"], m["y"]) for m in g["moves"]] for g in (second, games[1])]
    assert cells[0] == cells[1] and second["game"] == 2


def test_sgf_as_other_runners_write_it(tmp_path):
    path = tmp_path / "tournament.sgf"
    path.write_text(
        "(;FF[4]GM[4]GN[1]EV[A x B]DT[2026.12.08 02:58:24]RO[1.1]RU[0]SZ[15]PB[A]PW[B]RE[0]"
        "TE[Draw by fullfilled board]\n"
        ";B[ln]C[0ms];W[ik]C[1ms];B[jk]C[1ms];W[kj]C[2ms];B[ki]C[0ms])\n"
        "(;FF[4]GM[4]GN[2]EV[A x B]RO[1.2]RU[0]SZ[15]PB[B]PW[A]RE[B+]TE[Five in a row]\n"
        ";B[hh]C[3ms];W[aa]C[1ms];B[hi]C[0ms];W[ab]C[1ms];B[hj]C[0ms];W[ac]C[1ms]\n"
        ";B[hk]C[0ms];W[ad]C[1ms];B[hl]C[0ms])\n")
    games = reviewed(path, "--turn-ms", 50)
    assert [(g["game"], len(g["moves"]), g["winner"]) for g in games] == \
        [(1, 5, None), (2, 9, "black")]
    assert games[0]["moves"][0] == {"move": 1, "player": "black", "x": 11, "y": 13,
                                    "verdict": None, "kind": None, "cells": [], "line": [],
                                    "forced": None, "cut": False, "text": "", "engine": ""}
    # White left Black's open three, then its open four, alone: the first
    # allowed a win by fours that a stone at either end stops; against the
    # second nothing saves, and only the engine's chain has a verdict.
    moves = games[1]["moves"]
    assert [(m["verdict"], m["kind"]) for m in moves][5:8] == [
        ("allowed-win", "fours"), (None, None), ("missed-block", "chain")]
    assert moves[5]["cells"] == [[7, 6], [7, 10]]
    assert games[1]["final"] is None


@pytest.mark.parametrize("text, message", [
    (None, r"cannot read: No such file or directory"),
    ("<folder>", r"cannot read: Is a directory"),
    ("", r"not an SGF or PSQ record"),
    ("\x00\x01binary", r"not an SGF or PSQ record"),
    ("(;SZ[15];B[hh];W[hh])", r"game 1, move 2 W\[hh\] \(line 1\): the cell 7,7 already holds"),
    ("(;SZ[15];B[hh])(;SZ[15];B[zz])", r"game 2, move 1 B\[zz\] \(line 1\): the cell is off"),
    ("(;SZ[15]AB[hh];W[aa])", r"game 1, line 1: setup stones \(AB\) are not supported"),
    ("(;SZ[200];B[hh])", r"a 200x200 board, which the engine cannot play"),
    ("(;SZ[5];B[aa];W[ae];B[ba];W[be];B[ca];W[ce];B[da];W[de];B[ea];W[ee])",
     r"move 10 W\[ee\] \(line 1\): a move after black's five"),
    ("X 15x15, 1:1, 0\n1,1,0\n1,16,0\n", r"game 1, move 2 1,16,0 \(line 3\): the cell is off"),
    ("(;SZ[15];B[hh]", r"game 1, line 1: the game is not closed"),
])
def test_bad_input_gets_one_message_and_fails(tmp_path, text, message):
    path = tmp_path / "bad.sgf"
    if text == "<folder>":
        path.mkdir()
    elif text is not None:
        path.write_bytes(text.encode())
    for args in ([], ["--json"]):
        done = review(path, *args)
        assert done.returncode == 1 and done.stdout == ""
        assert re.fullmatch(r"zelto-review: %s: .*%s.*\n" % (re.escape(str(path)), message),
                            done.stderr), done.stderr


@pytest.mark.parametrize("args, status", [
    ([], 2), (["--game"], 2), (["--game", "0"], 2), (["--turn-ms", "-5"], 2), (["--bogus"], 2),
    (["--game", "2"], 1), (["--report"], 2), (["--final", "--report", "never.html"], 2),
    (["--from"], 2), (["--from", "x.jsonl"], 2),
])
def test_bad_command_line(tmp_path, args, status):
    path = tmp_path / "game.sgf"
    path.write_text(EXAMPLE_SGF)
    done = review(*([path] if args != [] else []), *args)
    assert (done.returncode, done.stdout) == (status, "")
    assert len(done.stderr.splitlines()) in (1, 2) and done.stderr.startswith(
        "usage" if args == [] else "zelto-review: ")
