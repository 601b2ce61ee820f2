#!/usr/bin/env python3
"""Plays Zelto against itself to make benchmark positions.

One engine process plays both sides: before every move it is given the whole
game as a BOARD block from the point of view of the side to move. The first
few stones are random cells near the centre, so games differ. Each game is
printed as one line in the format of positions.txt:

    name WIDTHxHEIGHT x,y x,y ...

with the moves in the order they were played. Any prefix of a game is a
position; the last stone of a prefix is the opponent's.
"""
import argparse
import os
import random
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tools"))
from match import Game  # noqa: E402  (the match runner's board and its five test)


def play(engine, width, height, opening, turn_ms, rng):
    send = lambda line: (engine.stdin.write(line + "\n"), engine.stdin.flush())
    cx, cy = width // 2, height // 2
    game = Game(width, height)
    moves = []
    while not game.full():
        side = len(moves) % 2
        if len(moves) < opening:
            move = (cx + rng.randint(-2, 2), cy + rng.randint(-2, 2))
            if game.problem(move):
                continue
        else:
            send("RECTSTART %d,%d" % (width, height) if width != height else "START %d" % width)
            assert engine.stdout.readline().strip() == "OK"
            send("INFO timeout_turn %d" % turn_ms)
            send("BOARD")
            for i, (x, y) in enumerate(moves):
                send("%d,%d,%d" % (x, y, 1 if i % 2 == side else 2))
            send("DONE")
            line = engine.stdout.readline()
            while line.startswith("MESSAGE") or line.startswith("message"):
                line = engine.stdout.readline()
            move = tuple(int(v) for v in line.split(","))
            assert not game.problem(move), line
        game.play(side, move, 0, None)
        moves.append(move)
        if game.five(move):
            break
    return moves


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("engine")
    parser.add_argument("--size", default="15x15", help="WIDTHxHEIGHT")
    parser.add_argument("--games", type=int, default=1)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--opening", type=int, default=3, help="random stones first")
    parser.add_argument("--turn-ms", type=int, default=100)
    args = parser.parse_args()
    width, height = (int(v) for v in args.size.split("x"))
    rng = random.Random(args.seed)
    engine = subprocess.Popen([args.engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    for game in range(args.games):
        moves = play(engine, width, height, args.opening, args.turn_ms, rng)
        name = "g%s-%d-%d" % (args.size, args.seed, game + 1)
        print(name, args.size, " ".join("%d,%d" % m for m in moves), flush=True)
    engine.stdin.write("END\n")
    engine.stdin.close()
    engine.wait()


if __name__ == "__main__":
    main()
