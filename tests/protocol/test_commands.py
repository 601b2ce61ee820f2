"""The replies of each command and their order, beyond the sessions of the docs
(test_docs.py replays those)."""
from conftest import TURN_BUDGET


def test_board_setup_and_coordinates(engine):
    for line, reply in [("START 5", "OK"), ("START 4", "ERROR bad START parameter"),
                        ("START -99999999999", "ERROR bad START parameter")]:
        engine.ask(line, reply)
    assert engine.listing(5) == [""] * 5  # a refused START drops the width only
    for line, reply in [("RECTSTART 101,20", "ERROR Maximal board size is 100"),
                        ("RECTSTART 4,20", "ERROR bad RECTSTART parameters"),
                        ("RECTSTART 30, 20", "OK"), ("RECTSTART 12,8", "OK")]:
        engine.ask(line, reply)
    for line in ["TURN 12,3", "TURN 3,8", "TURN -1,3", "TURN 3", "TURN", "TURN 99999999999,1",
                 "PLAY 0,-1", "PLAY 1, ", "TAKEBACK 3,3", "TAKEBACK 99,0"]:
        engine.ask(line, "ERROR bad coordinates")
    engine.fence()  # none of them started a turn
    engine.ask("PLAY 11,7", "11,7")
    engine.send("TURN 0, 7")
    first = engine.turn()
    engine.ask("TAKEBACK 0,7", "OK")
    engine.ask("TAKEBACK %d,%d" % first, "OK")
    assert engine.listing(8) == ["-" * 12] * 7 + ["-" * 11 + "X"]
    engine.ask("RESTART", "OK")
    assert engine.listing(8) == ["-" * 12] * 8
    engine.send("BEGIN")  # no last moves either: a random cell, no search
    engine.turn()
    assert engine.stats[1:] == (0, 0)  # depth and nodes


def test_board_block(engine):
    # No board yet: the 20 x 20 default is set up first. The engine's own
    # stones pile up at random cells, where its threat search can run long.
    engine.send(TURN_BUDGET, "BOARD", "3,3,1", "4, 3, 2", "5,3,3", "3,3,2", "4,3,1", "5,3,3", "DoNe")
    engine.expect("OK", "ERROR opponents's move [3,3]", "ERROR my move [4,3]", "ERROR winning move [5,3]")
    x, y = engine.turn()
    rows = engine.listing(20)
    assert rows[3][3:6] == "XOx" and rows[y][x] == "X" and "".join(rows).count("-") == 396
    # Anything but a stone or the bare word ends the block with an error line,
    # and the engine still moves.
    for bad in ["done ", "1,1,4", "1 ,1,1", "20,1,1", ""]:
        engine.send("BOARD")
        engine.ask(bad, "ERROR x,y,who or DONE expected after BOARD")
        engine.turn()
    engine.fence()


def test_crlf_ctrl_z_and_over_long_lines(engine):
    # The engine's first two moves lie within eight cells of (2, 2), so the
    # cells of column 15 played below are free whatever it chose.
    engine.send("START 20", "BOARD", "1,1,1", "2,2,2", "DONE", "BOARD", "DONE\r", eol=b"\r\n")
    engine.expect("OK")
    engine.turn()
    engine.expect("ERROR x,y,who or DONE expected after BOARD")  # only one CR is removed
    engine.turn()
    # A Ctrl-Z byte is a character like any other, not the end of input.
    engine.ask(b"\x1a", "UNKNOWN command")
    # The 255th character still counts; from the 256th on, the rest of the line
    # is dropped and must not come back as a line of its own.
    engine.send("TURN 15," + " " * 246 + "4" + "junk" * 20)
    engine.turn()
    engine.ask("TURN 15," + " " * 247 + "5" + "ABOUT" * 10, "ERROR bad coordinates")
    engine.ask("Z" * 260 + "ABOUT", "UNKNOWN command")
    rows = engine.listing(20)
    assert (rows[1][1], rows[2][2], rows[4][15]) == ("X", "O", "O") and rows[5][15] != "O"


def test_end_and_end_of_input(make_engine):
    engine = make_engine()
    engine.send("START 10", "END")
    assert engine.finish() == (0, ["OK"])
    # End of input inside a board block: no turn. A last line without a line
    # feed is not carried out.
    engine = make_engine()
    engine.send("START 10", "BOARD", "1,1,1")
    engine.send("ABOUT", eol=b"")
    engine.proc.stdin.close()
    assert engine.finish() == (0, ["OK"])
