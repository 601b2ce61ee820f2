"""Replies of each command and their order, driven through the engine's pipes."""
from conftest import ABOUT_LINE, at


def test_board_setup_and_refusals(engine):
    engine.ask("RESTART", "OK", "OK")  # the default board first, then RESTART's own
    engine.ask("START20", "OK")
    engine.ask("start 5", "OK")
    # A refused START drops the board width and keeps the height.
    engine.ask("START 4", "ERROR bad START parameter")
    assert engine.listing(5) == [""] * 5
    for line, reply in [("START 101", "ERROR Maximal board size is 100"),
                        ("START 99999999999", "ERROR Maximal board size is 100"),
                        ("START -99999999999", "ERROR bad START parameter"),
                        ("RECTSTART 30 , 20", "OK"), ("RECTSTART 30, 20", "OK"),
                        ("RECTSTART 7,5", "OK"), ("PLAY 6,4", "6,4")]:
        engine.ask(line, reply)
    assert engine.listing(5) == ["-------"] * 4 + ["------X"]
    engine.ask("RESTART", "OK")
    assert engine.listing(5) == ["-------"] * 5
    for line, reply in [("RECTSTART 101,20", "ERROR Maximal board size is 100"),
                        ("RECTSTART 4,20", "ERROR bad RECTSTART parameters"),
                        ("RECTSTART 30 20", "ERROR bad RECTSTART parameters")]:
        engine.ask(line, reply)
    engine.send("PRINTBOARD")  # both sides are 0 now: an empty listing
    engine.fence()
    # With no board, TURN first sets up the 20 x 20 default board.
    engine.ask("TURN 2,2", "OK")
    _, move, _ = engine.turn()
    rows = engine.listing(20)
    assert all(len(r) == 20 for r in rows)
    assert at(rows, 2, 2) == "O" and at(rows, *move) == "X"


def test_coordinates_play_turn_takeback(engine):
    engine.ask("RECTSTART 12,8", "OK")
    for line in ["TURN 5 ,5", "TURN 12,3", "TURN 3,8", "TURN -1,3", "TURN 3", "TURN",
                 "TURN 99999999999,1", "TURN 4294967297,3", "PLAY 5 ,5", "PLAY 0,-1",
                 "TAKEBACK 3,3", "TAKEBACK 99,0"]:
        engine.ask(line, "ERROR bad coordinates")
    engine.fence()  # none of them started a turn
    engine.ask("PLAY 11,0", "11,0")
    engine.ask("PLAY 11,0", "ERROR my move [11,0]", "11,0")
    engine.send("TURN 2, 7")
    _, first, _ = engine.turn()
    engine.ask("TURN 2,7", "ERROR opponents's move [2,7]")
    _, second, _ = engine.turn()
    rows = engine.listing(8)
    assert at(rows, 11, 0) == at(rows, *first) == at(rows, *second) == "X"
    assert at(rows, 2, 7) == "O" and "".join(rows).count("-") == 12 * 8 - 4
    engine.ask("TAKEBACK 2,7", "OK")
    engine.ask("TAKEBACK %d,%d" % first, "OK")
    engine.ask("TAKEBACK 2,7", "ERROR bad coordinates")
    rows = engine.listing(8)
    assert at(rows, 2, 7) == at(rows, *first) == "-"
    assert "".join(rows).count("-") == 12 * 8 - 2


def test_board_block(engine):
    engine.ask("RECTSTART 12,8", "OK")
    engine.ask("PLAY 11,7", "11,7")
    for line in ["BOARD", "3,3,1", "4, 3, 2", "5,3,3", "3,3,2", "4,3,1", "5,3,3", "DoNe"]:
        engine.send(line)
    engine.expect("ERROR opponents's move [3,3]", "ERROR my move [4,3]",
                  "ERROR winning move [5,3]")
    _, move, _ = engine.turn()
    rows = engine.listing(8)
    assert (at(rows, 3, 3), at(rows, 4, 3), at(rows, 5, 3)) == ("X", "O", "x")
    assert at(rows, 11, 7) == at(rows, *move) == "X"  # earlier stones stay
    assert "".join(rows).count("-") == 12 * 8 - 5
    # Anything but a stone or the bare word ends the block with an error line,
    # and the engine still moves.
    for bad in ["done ", "1,1,4", "1 ,1,1", "12,1,1", ""]:
        engine.send("BOARD")
        engine.ask(bad, "ERROR x,y,who or DONE expected after BOARD")
        engine.turn()
    engine.fence()


def test_info_about_and_unknown_lines(engine):
    for line in ["INFO timeout_turn 5000", "INFO rule 5", "INFO folder C:\\a dir\\ ",
                 "INFO no_such_key 1", "INFO", "INFORMATION"]:
        engine.send(line)
    engine.fence()
    engine.ask("about", ABOUT_LINE)
    for line in ["", " ABOUT", "\tSTART 10", "FOO", "STAR 10", "PRINT"]:
        engine.ask(line, "UNKNOWN command")
    # Keywords match as prefixes: BEGINNER is BEGIN (on the default board).
    engine.ask("BEGINNER", "OK")
    _, (x, y), _ = engine.turn()
    assert 0 <= x < 20 and 0 <= y < 20
    engine.send("ENDGAME")
    assert engine.finish() == (0, [])


def test_crlf_line_endings(engine):
    for line in ["START 10", "BOARD", "1,1,1", "2,2,2", "DONE", "BOARD", "DONE\r"]:
        engine.send(line, eol=b"\r\n")
    engine.expect("OK")
    engine.turn()
    # Only one carriage return is removed.
    engine.expect("ERROR x,y,who or DONE expected after BOARD")
    engine.turn()
    rows = engine.listing(10)
    assert (at(rows, 1, 1), at(rows, 2, 2)) == ("X", "O")
    # A Ctrl-Z byte is a character like any other, not the end of input.
    engine.ask(b"\x1a", "UNKNOWN command")
    engine.fence()


def test_over_long_lines_keep_first_255_chars(engine):
    engine.ask("START 10", "OK")
    head = "TURN 3,"
    # The 255th character still counts: the row number sits there.
    engine.send(head + " " * (254 - len(head)) + "4" + "junk" * 20)
    engine.turn()
    # A number from the 256th character on is dropped, and so is the rest of
    # the line: it must not come back as a line of its own.
    engine.ask(head + " " * (255 - len(head)) + "5" + "ABOUT" * 10, "ERROR bad coordinates")
    engine.fence()
    engine.ask("Z" * 260 + "ABOUT", "UNKNOWN command")
    rows = engine.listing(10)
    assert at(rows, 3, 4) == "O" and at(rows, 3, 5) != "O"


def test_end_and_end_of_input(make_engine):
    eng = make_engine()
    eng.send("START 10")
    eng.send("END")
    assert eng.finish() == (0, ["OK"])
    # END right after a turn request: the turn's lines come first.
    eng = make_engine()
    for line in ["START 15", "BOARD", "5,5,1", "6,6,2", "7,7,2", "8,8,2", "DONE", "END"]:
        eng.send(line)
    eng.expect("OK")
    eng.turn()
    assert eng.finish() == (0, [])
    # End of input inside a board block: no turn. A last line without a line
    # feed is not carried out.
    eng = make_engine()
    for line in ["START 10", "BOARD", "1,1,1"]:
        eng.send(line)
    eng.send("ABOUT", eol=b"")
    eng.proc.stdin.close()
    assert eng.finish() == (0, ["OK"])


def test_full_board_without_candidates(engine):
    engine.ask("START 5", "OK")
    engine.send("BOARD")
    for x in range(5):
        for y in range(5):
            engine.send("%d,%d,3" % (x, y))
    engine.send("DONE")
    assert engine.turn(allow_error=True) == (0, (-1, -1), "ERROR my move [-1,-1]")
    assert engine.listing(5) == ["xxxxx"] * 5
    engine.fence()
