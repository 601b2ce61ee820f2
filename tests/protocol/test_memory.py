"""Memory: the engine keeps its state in fixed arrays, so once a 100 x 100 game
has touched them its resident size must not grow with further games."""
import os
import random

import pytest

PEAK_LIMIT_KB = 16 * 1024
# Sanitizer runtimes allocate behind the engine's back (fake stack frames,
# quarantine), so their builds only play the games.
SANITIZED = bool(os.environ.get("ZELTO_SANITIZE"))


def status_kb(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    raise AssertionError(f"{key} missing from /proc/{pid}/status")


def play_game(engine, size, stones, turns, rng):
    """A game on a size x size board: a BOARD block of random stones, then
    turns answered at random free cells, and a listing."""
    engine.ask(f"START {size}", "OK")
    cells = [(x, y) for x in range(size) for y in range(size)]
    rng.shuffle(cells)
    engine.send("BOARD")
    for i, (x, y) in enumerate(cells[:stones]):
        engine.send("%d,%d,%d" % (x, y, 1 + i % 3))
    engine.send("DONE")
    free = set(cells[stones:])
    for _ in range(turns):
        _, move, _ = engine.turn(allow_error=True)
        free.discard(move)
        if not free:
            break
        cell = rng.choice(sorted(free))
        free.discard(cell)
        engine.send("TURN %d,%d" % cell)
    else:
        engine.turn(allow_error=True)
    assert len(engine.listing(size)) == size


@pytest.mark.skipif(not os.path.exists("/proc/self/status"), reason="needs /proc")
@pytest.mark.skipif(bool(os.environ.get("ZELTO_ENGINE_CMD")),
                    reason="the process is a wrapper's (wine), not the engine alone")
def test_resident_memory_stays_flat_across_games(engine):
    rng = random.Random(6)
    pid = engine.proc.pid
    engine.send("INFO timeout_turn 100")
    # Warm-up: a nearly full 100 x 100 board touches every cell of every array.
    play_game(engine, 100, 100 * 100 - 30, 10, rng)
    play_game(engine, 100, 300, 20, rng)
    peak, resident = status_kb(pid, "VmHWM"), status_kb(pid, "VmRSS")
    for game in range(40):
        size = rng.choice([5, 20, 57, 100])
        play_game(engine, size, rng.randrange(size * size // 2), 10, rng)
    engine.fence()
    later_peak, later_resident = status_kb(pid, "VmHWM"), status_kb(pid, "VmRSS")
    print(f"\nVmHWM {peak} kB -> {later_peak} kB, VmRSS {resident} kB -> {later_resident} kB")
    if not SANITIZED:
        assert later_peak <= peak + 64 and later_resident <= resident + 64
        assert later_peak < PEAK_LIMIT_KB
