"""Tactical choices seen through the protocol.

Candidates are the empty cells within four steps, on the eight rays, of each
side's last listed stone, so every position below puts the deciding cells on
those rays. who 1 is the engine, who 2 the opponent.
"""
import time

import pytest


def play_position(engine, stones):
    engine.ask("START 15", "OK")
    engine.send("BOARD")
    for x, y, who in stones:
        engine.send("%d,%d,%d" % (x, y, who))
    engine.send("DONE")
    value, move, _ = engine.turn()
    return value, move


def row(y, xs, who):
    return [(x, y, who) for x in xs]


def test_own_five_before_blocking(engine):
    # Both sides have an open four; completing our own five comes first.
    stones = row(8, range(3, 7), 2) + row(2, range(3, 7), 1)
    value, move = play_position(engine, stones)
    assert move in {(2, 2), (7, 2)} and value == 0


def test_blocks_the_opponents_five(engine):
    # A four closed by our stone at one end: one cell stops it.
    value, move = play_position(engine, [(3, 5, 1)] + row(5, range(4, 8), 2))
    assert (move, value) == ((8, 5), 0)
    # A split four O O . O O: the gap is the only blocking cell.
    value, move = play_position(engine, [(12, 12, 1)] + row(5, [4, 5, 7, 8], 2))
    assert (move, value) == ((6, 5), 0)


def test_stops_an_open_three(engine):
    # . . O O O . . : both cells next to the three give an open four.
    value, move = play_position(engine, [(12, 1, 1)] + row(7, range(5, 8), 2))
    assert move in {(4, 7), (8, 7)} and value >= 1000000
    # With our stone beyond one end, only the other side stays open.
    value, move = play_position(engine, row(7, range(5, 8), 2) + [(9, 7, 1)])
    assert move == (4, 7) and value >= 1000000


def test_statistics_count_the_tactical_tests(engine):
    # Nothing tactical around a lone stone: over its 32 candidates, one node
    # per double-threat test of each side and per threat test of each of the
    # eight threat-sequence stages, and a neighbour scored 1536.
    engine.ask("START 20", "OK")
    engine.send("TURN 10,10")
    value, (x, y), _ = engine.turn()
    assert value == 1536 and max(abs(x - 10), abs(y - 10)) == 1
    assert engine.last_stats == (1536, 1, 32 * (2 + 8))


# Stones of both sides crossing near the centre: the threat-sequence search
# here runs for many seconds unless the budget stops it.
THREATS = [(9, 9, 2), (10, 10, 2), (11, 9, 1), (9, 11, 2), (10, 9, 1), (9, 8, 1), (3, 3, 2)]


@pytest.mark.parametrize("info, budget", [("timeout_turn 300", 0.3), ("time_left -40", 0.0)])
def test_threat_search_keeps_to_the_budget(engine, info, budget):
    engine.ask("START 20", "OK")
    engine.send("INFO " + info)
    engine.send("BOARD")
    for stone in THREATS:
        engine.send("%d,%d,%d" % stone)
    started = time.monotonic()
    engine.send("DONE")
    engine.turn()
    elapsed = time.monotonic() - started
    # The search is cut at 95% of the budget; a negative time left is no time
    # at all, and the search gives up at once.
    assert budget / 2 <= engine.last_time < max(budget, 0.05)
    assert elapsed < budget + 1.0
