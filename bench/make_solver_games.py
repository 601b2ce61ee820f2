#!/usr/bin/env python3
"""Writes the dense part of the solver's benchmark games: games of random moves
in a cluster, both colours in turn, none making five, so that their later
positions hold many fours and threes of both sides. Fixed seed: the output
never changes.

  python3 bench/make_solver_games.py >> bench/solver_games.sgf
"""
import random

LETTERS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"


def makes_five(stones, x, y, colour):
    for dx, dy in ((1, 0), (0, 1), (1, 1), (1, -1)):
        run = 1
        for sign in (1, -1):
            cx, cy = x + sign * dx, y + sign * dy
            while stones.get((cx, cy)) == colour:
                run += 1
                cx, cy = cx + sign * dx, cy + sign * dy
        if run >= 5:
            return True
    return False


def main():
    rng = random.Random(20261208)
    for _ in range(40):
        size = 15
        low = rng.randrange(0, 4)
        span = rng.randrange(7, size - low + 1)
        stones, moves = {}, []
        for _ in range(rng.randrange(40, 110)):
            colour = "BW"[len(moves) % 2]
            free = [(x, y) for x in range(low, low + span) for y in range(low, low + span)
                    if (x, y) not in stones and not makes_five(stones, x, y, colour)]
            if not free:
                break
            x, y = rng.choice(free)
            stones[(x, y)] = colour
            moves.append(";%s[%s%s]" % (colour, LETTERS[x], LETTERS[y]))
        print("(;FF[4]GM[4]SZ[%d]%s)" % (size, "".join(moves)))


if __name__ == "__main__":
    main()
