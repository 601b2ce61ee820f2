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
import random
import subprocess


def five(stones, x, y):
    for dx, dy in ((1, 0), (0, 1), (1, 1), (1, -1)):
        run = 1
        for sign in (1, -1):
            k = 1
            while stones.get((x + sign * k * dx, y + sign * k * dy)) == stones[(x, y)]:
                run += 1
                k += 1
        if run >= 5:
            return True
    return False


def play(engine, width, height, opening, turn_ms, rng):
    send = lambda line: (engine.stdin.write(line + "\n"), engine.stdin.flush())
    cx, cy = width // 2, height // 2
    moves, stones = [], {}
    while len(moves) < width * height:
        if len(moves) < opening:
            move = (cx + rng.randint(-2, 2), cy + rng.randint(-2, 2))
            if move in stones:
                continue
        else:
            send("RECTSTART %d,%d" % (width, height) if width != height else "START %d" % width)
            assert engine.stdout.readline().strip() == "OK"
            send("INFO timeout_turn %d" % turn_ms)
            send("BOARD")
            mover = len(moves) % 2
            for i, (x, y) in enumerate(moves):
                send("%d,%d,%d" % (x, y, 1 if i % 2 == mover else 2))
            send("DONE")
            line = engine.stdout.readline()
            while line.startswith("MESSAGE") or line.startswith("message"):
                line = engine.stdout.readline()
            move = tuple(int(v) for v in line.split(","))
            assert move not in stones and 0 <= move[0] < width and 0 <= move[1] < height, line
        stones[move] = len(moves) % 2
        moves.append(move)
        if five(stones, *move):
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
