"""zelto-review on records as players, runners and tournaments have them: its
verdicts on a known game as SGF and PSQ, every game of a file written by the
match runner, SGF as other runners write it, folders and zip archives of
records, and bad input. The command is ZELTO_REVIEW, default
<repo>/build/zelto-review."""
import json
import os
import re
import struct
import subprocess
import sys
import zipfile

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "bench"))
from make_solver_games import makes_five  # noqa: E402  the plain five check
REVIEW = os.environ.get("ZELTO_REVIEW", os.path.join(REPO, "build", "zelto-review"))
ENGINE = os.path.join(REPO, "build", "pbrain-zelto")
TIMEOUT = 120

# Black's open three in row 7: White plays elsewhere (Black then wins by
# fours), then Black too (a missed win by fours).
EXAMPLE_SGF = "(;FF[4]GM[4]SZ[15];B[hh];W[aa];B[ih];W[ab];B[jh];W[ac];B[oo])\n"
EXAMPLE_PSQ = ("Piece 15x15, 11:11, 0\r\n8,8,120\r\n1,1,0\r\n9,8,1\r\n1,2,0\r\n10,8,0\r\n"
               "1,3,0\r\n15,15,0\r\nblack.exe\r\nwhite.exe\r\n-1\r\n")


def expected_text(source):
    """The example game's lines for the game named `source`."""
    return [
        source + ", move 6, white 0,2: allowed-win: After this move Black wins by fours: 6,7 (5,7) "
        "five at 10,7; a White stone at 6,7 or 10,7 would have stopped it.",
        source + ", move 7, black 14,14: missed-win: Black could have won by fours from 6,7 or "
        "10,7: 6,7 (5,7) five at 10,7.",
        source + ": 7 moves, 1 missed-win, 0 missed-block, 1 allowed-win, no five on the board; "
        "white to move has no win by fours",
    ]
# The players' table before the closing line of a text run: without names in
# the record, the players are the sides.
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


@pytest.mark.parametrize("name, text, suffix, names", [
    ("game.sgf", EXAMPLE_SGF, "#1", ["Black", "White"]),
    ("game.psq", EXAMPLE_PSQ, "", ["black.exe", "white.exe"])])
def test_example_game_as_sgf_and_psq(tmp_path, name, text, suffix, names):
    path = tmp_path / name
    path.write_bytes(text.encode())
    done = review(path)
    assert (done.returncode, done.stderr) == (0, "")
    lines = done.stdout.splitlines()
    assert lines[:3] == expected_text(str(path) + suffix)
    assert lines[-1] == "1 game reviewed, 0 records skipped"
    if names == ["Black", "White"]:
        assert lines[3:-1] == EXPECTED_TABLE
    else:
        assert [line.split()[0] for line in lines[6:8]] == sorted(names)
    [game] = reviewed(path)
    assert (game["source"], game["game"], game["size"], game["winner"]) == \
        (str(path) + suffix, 1, [15, 15], None)
    assert [game["players"]["black"], game["players"]["white"]] == names
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
                    "--records", str(tmp_path / "records"), "--sgf", str(sgf),
                    "--psq", str(tmp_path / "psq"), "--league", sgf.stem],
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
    # The same games as PSQ files, named by round, engines and result, read back alike.
    league = tmp_path / "psq" / "engines"
    psq = reviewed(league, "--turn-ms", 20)
    assert [os.path.basename(g["source"]).split("_")[0] for g in psq] == ["1", "2", "3"]
    for a, b in zip(psq, games):
        code = {"black": "1", "white": "2", None: "0"}[a["winner"]]
        assert a["source"].endswith("_%s.psq" % code)
        assert [(m["x"], m["y"]) for m in a["moves"]] == [(m["x"], m["y"]) for m in b["moves"]]
        assert (a["winner"], a["players"]) == (b["winner"], b["players"])


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
    ("<folder>", r"holds no \.psq or \.sgf file"),
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
    for args, out in (([], "0 games reviewed, 1 record skipped\n"), (["--json"], "[\n]\n")):
        done = review(path, *args)
        assert (done.returncode, done.stdout) == (1, out)
        assert re.fullmatch(r"zelto-review: %s: .*%s.*\n" % (re.escape(str(path)), message),
                            done.stderr), done.stderr


@pytest.mark.parametrize("args, status", [
    ([], 2), (["--game"], 2), (["--game", "0"], 2), (["--turn-ms", "-5"], 2), (["--bogus"], 2),
    (["--game", "1", "<folder>"], 2), (["--game", "2"], 1), (["--report"], 2),
    (["--final", "--report", "never.html"], 2), (["--resume"], 2), (["-j", "0"], 2),
    (["-jx"], 2), (["--jsonl"], 2), (["--from", "--json"], 2),
])
def test_bad_command_line(tmp_path, args, status):
    path = tmp_path / "game.sgf"
    path.write_text(EXAMPLE_SGF)
    args = [str(tmp_path) if a == "<folder>" else a for a in args]
    done = review(*([path] if args != [] else []), *args)
    assert (done.returncode, done.stdout) == \
        (status, "0 games reviewed, 1 record skipped\n" if status == 1 else "")
    assert len(done.stderr.splitlines()) in (1, 2, 3) and done.stderr.startswith(
        "usage" if args == [] else "zelto-review: ")


def fives(stones, width, height, side):
    """The empty cells where a stone of `side` makes five or more in a row."""
    return {(x, y) for x in range(width) for y in range(height)
            if (x, y) not in stones and makes_five(stones, x, y, side)}


def check_win_by_fours(stones, width, height, side, line):
    """Replays a win by fours move by move: each of the winner's moves a four
    (blocking the defender's one five first, if it has one), each answer one
    of the winner's fives, the last move a five."""
    stones = dict(stones)
    other = "white" if side == "black" else "black"
    assert len(line) % 2 == 1, line
    for i, (x, y) in enumerate(map(tuple, line)):
        assert 0 <= x < width and 0 <= y < height and (x, y) not in stones, line
        mine = fives(stones, width, height, side)
        if i % 2 == 1:
            assert not fives(stones, width, height, other) and (x, y) in mine, line
            stones[(x, y)] = other
        elif i == len(line) - 1:
            assert (x, y) in mine, line
        else:
            theirs = fives(stones, width, height, other)
            assert len(theirs) <= 1 and theirs <= {(x, y)}, line
            stones[(x, y)] = side
            assert fives(stones, width, height, side), line


def test_every_line_replays_in_the_noisy_games(tmp_path):
    noisy = " ".join([sys.executable, os.path.join(REPO, "bench", "noisy_engine.py"),
                      "--noise", "0.5", ENGINE])
    sgf = match_games(tmp_path, "noisy.sgf", [ENGINE, noisy], 4, "11", 20)
    lines = decisive = 0
    for game in reviewed(sgf, "--turn-ms", 20):
        decisive += game["winner"] is not None
        width, height = game["size"]
        stones = {}
        for m in game["moves"]:
            if m["forced"]:
                assert m["forced"]["side"] == m["player"]
                check_win_by_fours(stones, width, height, m["player"], m["forced"]["line"])
                lines += 1
            if m["kind"] == "fours":
                if m["verdict"] == "missed-win":
                    assert m["line"] == m["forced"]["line"]
                else:
                    after = {**stones, (m["x"], m["y"]): m["player"]}
                    winner = "white" if m["player"] == "black" else "black"
                    check_win_by_fours(after, width, height, winner, m["line"])
            stones[(m["x"], m["y"])] = m["player"]
        if game["final"] and game["final"]["forced"]:
            check_win_by_fours(stones, width, height, game["final"]["to_move"],
                               game["final"]["forced"]["line"])
    # The winner could make five before its last move, at least.
    assert lines >= decisive


# Problems handed to the solver as records: Black to move after each game.
@pytest.mark.parametrize("record, final", [
    # Black's broken three 6,7 7,7 9,7 and a stone at 8,9: 8,7 makes an open four.
    ("(;FF[4]GM[4]SZ[15];B[gh];W[aa];B[hh];W[oo];B[jh];W[ao];B[ij];W[oa])",
     {"to_move": "black", "forced": {"side": "black", "line": [[8, 7], [5, 7], [10, 7]]},
      "cut": False}),
    # White to move with nothing: no win by fours.
    ("(;FF[4]GM[4]SZ[15];B[hh];W[aa];B[ih])",
     {"to_move": "white", "forced": None, "cut": False}),
    # A five ended the game: nothing to solve.
    ("(;FF[4]GM[4]SZ[9];B[aa];W[ai];B[ba];W[bi];B[ca];W[ci];B[da];W[di];B[ea])", None),
])
def test_final_positions(tmp_path, record, final):
    path = tmp_path / "problem.sgf"
    path.write_text(record)
    [game] = reviewed(path, "--final")
    assert game["final"] == final
    assert all(m["verdict"] is None and m["forced"] is None for m in game["moves"])
    done = review(path, "--final")
    assert done.returncode == 0 and len(done.stdout.splitlines()) == 2


def zip_folder(folder, target, reverse=True):
    """Zips every file below `folder`, in reverse order of their paths so that
    the reviewer must sort them itself."""
    files = sorted((p for p in folder.rglob("*") if p.is_file()), reverse=reverse)
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
        for p in files:
            z.write(p, p.relative_to(folder).as_posix())
    return target


def tournament_tree(root):
    """A league folder as a tournament publishes it, with what else archives hold."""
    league = root / "Freestyle 15_1"
    (league / "sub" / "deeper").mkdir(parents=True)
    (root / "empty").mkdir()
    (league / "3_12_7_1.psq").write_bytes(EXAMPLE_PSQ.replace("black.exe", "ENGINE25.zip")
                                          .replace("-1\r\n", "-1\r\n0,Freestyle15_1\r\n").encode())
    (league / "ñandú 2.PSQ").write_bytes(EXAMPLE_PSQ.encode())
    (league / "sub" / "deeper" / "two.SGF").write_text(
        "(;GM[4]SZ[15]PB[Ann]PW[Bo];B[hh];W[aa])\n" + EXAMPLE_SGF, encoding="utf-8")
    (league / "sub" / "broken.psq").write_text("results of round 3\n")
    (league / "notes.txt").write_text("not read")
    (league / "results.zip").write_bytes(b"not read either")
    return root


EXPECTED_SOURCES = [  # in byte order of the paths, with the SGF games numbered
    ("Freestyle 15_1/3_12_7_1.psq", "ENGINE25.zip", "white.exe", 7),
    ("Freestyle 15_1/sub/deeper/two.SGF#1", "Ann", "Bo", 2),
    ("Freestyle 15_1/sub/deeper/two.SGF#2", "Black", "White", 7),
    ("Freestyle 15_1/ñandú 2.PSQ", "black.exe", "white.exe", 7),
]


def test_folder_and_zip_give_the_same_games_in_the_same_order(tmp_path):
    folder = tournament_tree(tmp_path / "results2026")
    archive = zip_folder(folder, tmp_path / "results2026.zip")
    outputs = {}
    for path, prefix in ((folder, str(folder) + "/"), (archive, str(archive) + ":")):
        # The default budget: these searches are small and end long before it,
        # so that time cuts none and the verdicts of both runs must agree.
        done = review(path)
        assert done.returncode == 1
        assert done.stderr == "zelto-review: %ssub/broken.psq: not an SGF or PSQ record\n" % (
            prefix + "Freestyle 15_1/")
        lines = done.stdout.splitlines()
        assert lines[-1] == "4 games reviewed, 1 record skipped"
        outputs[path] = [line.replace(prefix, "", 1) for line in without_table(done.stdout)]
        games = reviewed_all(path)
        assert [(g["source"], g["players"]["black"], g["players"]["white"], len(g["moves"]))
                for g in games] == \
            [(prefix + s, b, w, n) for s, b, w, n in EXPECTED_SOURCES]
    assert outputs[folder] == outputs[archive]
    assert outputs[folder][:3] == expected_text("Freestyle 15_1/3_12_7_1.psq")
    # Inputs in the order given; the folder's empty subfolder is no error.
    done = review(archive, folder / "Freestyle 15_1" / "ñandú 2.PSQ")
    assert without_table(done.stdout)[-4:] == \
        expected_text(str(folder / "Freestyle 15_1" / "ñandú 2.PSQ")) + \
        ["5 games reviewed, 1 record skipped"]


def test_folder_with_workers_jsonl_and_resume(tmp_path):
    folder = tournament_tree(tmp_path / "results2026")
    one = review(folder, "-j", 1)
    whole = tmp_path / "whole.jsonl"
    many = review(folder, "-j", 3, "--jsonl", whole)
    # These searches end long before the default budget: the runs agree on every line.
    assert (many.returncode, many.stdout, many.stderr) == (one.returncode, one.stdout, one.stderr)
    lines = whole.read_text(encoding="utf-8").splitlines(True)
    assert [json.loads(line)["source"] for line in lines] == \
        [str(folder) + "/" + s for s, *_ in EXPECTED_SOURCES]
    assert json.loads(lines[0])["players"] == {"black": "ENGINE25.zip", "white": "white.exe"}
    # A run cut off in its third line: --resume drops the half line and
    # reviews the last two games only.
    cut = tmp_path / "cut.jsonl"
    cut.write_text("".join(lines[:2]) + lines[2][:40], encoding="utf-8")
    resumed = review(folder, "-j", 2, "--jsonl", cut, "--resume")
    assert resumed.returncode == 1
    assert resumed.stdout.splitlines()[-1] == \
        "4 games reviewed (2 of them before, in %s), 1 record skipped" % cut
    assert without_table(resumed.stdout)[:-1] == \
        [line for line in without_table(one.stdout)[:-1] if "two.SGF#2" in line or "ñandú" in line]
    assert cut.read_text(encoding="utf-8") == "".join(lines)
    # A whole line that is no game is not the end of an interrupted run.
    cut.write_text(lines[0] + "{}\n", encoding="utf-8")
    bad = review(folder, "--jsonl", cut, "--resume")
    assert (bad.returncode, bad.stdout) == (1, "")
    assert bad.stderr.endswith("%s: line 2: a game without its \"source\"\n" % cut)
    if os.path.exists("/dev/full"):
        full = review(folder, "-j", 2, "--jsonl", "/dev/full")
        assert full.returncode == 1
        assert "zelto-review: /dev/full: cannot write: No space left on device\n" in full.stderr


def without_table(text):
    """A text run's lines without the players' table before its closing line."""
    lines = text.splitlines()
    return lines[:lines.index("")] + lines[-1:] if "" in lines else lines


def reviewed_all(path):
    """Every game's JSON, whatever the exit status; the messages go to stderr."""
    done = review(path, "--json")
    return json.loads(done.stdout)


def write_zip(path, members, level=None):
    """A zip of (name, bytes or a callable that writes to the member) pairs."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=level) as z:
        for name, data in members:
            if callable(data):
                with z.open(name, "w") as f:
                    data(f)
            else:
                z.writestr(name, data)
    return path


def zeros(size):
    def write(f):
        chunk = bytes(1 << 20)
        for _ in range(size >> 20):
            f.write(chunk)
    return write


def lying_sizes(path):
    """The member's size in both of the archive's headers set to 100 bytes."""
    data = bytearray(path.read_bytes())
    real = struct.pack("<I", zipfile.ZipFile(path).infolist()[0].file_size)
    assert data.count(real) == 2
    path.write_bytes(bytes(data.replace(real, struct.pack("<I", 100))))


def damage(path):
    """40 bytes of the member's packed data overwritten, after its local header."""
    data = bytearray(path.read_bytes())
    data[40:80] = b"\xff" * 40
    path.write_bytes(bytes(data))


GOOD = ("good.sgf", EXAMPLE_SGF)
COMMENT = "(;SZ[15]C[" + " " * ((1 << 20) - 20) + "])"  # 1 MiB that packs to 1 kB

# Each damaged or hostile archive is refused with one message, the good
# members beside it are read, and the run ends with status 1.
BAD_ARCHIVES = [
    ("truncated", lambda p: p.write_bytes(write_zip(p, [GOOD]).read_bytes()[:-30]),
     [r"bad\.zip: not a zip archive, or a truncated or damaged one"], 0),
    ("not a zip", lambda p: p.write_text(EXAMPLE_SGF),
     [r"bad\.zip: not a zip archive, or a truncated or damaged one"], 0),
    ("no record in it", lambda p: write_zip(p, [("notes.txt", "x"), ("folder/", "")]),
     [r"bad\.zip: holds no \.psq or \.sgf file"], 0),
    ("a member that is no record", lambda p: write_zip(p, [GOOD, ("r/x.psq", "hello")]),
     [r"bad\.zip:r/x\.psq: not an SGF or PSQ record"], 1),
    # Packed fast rather than small: 5 MB in 1.5 s.
    ("1 GiB of zeros", lambda p: write_zip(p, [("bomb.sgf", zeros(1 << 30)), GOOD], level=1),
     [r"bad\.zip:bomb\.sgf: unpacks to more than 64 MiB, more than a record may hold "
      r"\(the archive gives 1073741824 bytes\)"], 1),
    ("16 MiB of zeros", lambda p: write_zip(p, [("bomb.psq", zeros(16 << 20)), GOOD]),
     [r"bad\.zip:bomb\.psq: unpacks to more than 100 times its packed size"], 1),
    ("sizes that lie", lambda p: lying_sizes(write_zip(p, [("lie.sgf", zeros(4 << 20))])),
     [r"bad\.zip:lie\.sgf: damaged: it unpacks to 100 bytes that do not match"], 0),
    ("damaged data", lambda p: damage(write_zip(p, [("d.sgf", EXAMPLE_SGF * 50)])),
     [r"bad\.zip:d\.sgf: damaged: "], 0),
    # 70 members of 1 MiB each: past 64 MiB, the archive's limit for its 70 kB.
    ("unpacks past its limit",
     lambda p: write_zip(p, [("m%02d.sgf" % i, COMMENT) for i in range(70)]),
     [r"bad\.zip: unpacks to more than 100 times its size \(or 64 MiB\), as no archive of "
      r"records does; its members from m64\.sgf on are left unread"], 64),
]


@pytest.mark.parametrize("make, messages, games", [c[1:] for c in BAD_ARCHIVES],
                         ids=[c[0] for c in BAD_ARCHIVES])
def test_bad_archives_are_refused_and_the_run_goes_on(tmp_path, make, messages, games):
    path = tmp_path / "bad.zip"
    make(path)
    done = review(path, "--turn-ms", 20)
    errors = done.stderr.splitlines()
    assert len(errors) == len(messages), done.stderr
    for line, message in zip(errors, messages):
        assert re.match(r"zelto-review: %s/%s" % (re.escape(str(tmp_path)), message), line), line
    assert done.returncode == 1
    assert done.stdout.splitlines()[-1] == "%d %s reviewed, %d %s skipped" % (
        games, "game" if games == 1 else "games", len(messages),
        "record" if len(messages) == 1 else "records")
