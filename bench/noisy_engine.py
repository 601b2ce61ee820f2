#!/usr/bin/env python3
"""A weaker, human-like opponent for reviewing games: an engine that passes the
manager's protocol through to an engine (build/pbrain-zelto by default) and
plays its move most of the time, but a random empty cell next to a stone
otherwise, which it tells the engine with TAKEBACK and PLAY.

  noisy_engine.py [--noise 0.25] [--seed N] [ENGINE ...]

For example, 200 games of Zelto against it, then the reviewer on them:

  python3 tools/match.py match build/pbrain-zelto "python3 bench/noisy_engine.py" \
      --games 200 --size 15 --sgf build/noisy.sgf
  build/zelto-review build/noisy.sgf
"""
import argparse
import os
import random
import subprocess
import sys
import threading

MOVE_REQUESTS = ("TURN", "BEGIN", "DONE")
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Board:
    def __init__(self):
        self.width = self.height = 0
        self.stones = set()

    def start(self, width, height):
        self.width, self.height, self.stones = width, height, set()

    def nearby_empty(self):
        """Empty cells next to a stone (all empty cells when there is none)."""
        cells = {(x + dx, y + dy) for x, y in self.stones for dx in (-1, 0, 1) for dy in (-1, 0, 1)}
        near = sorted(c for c in cells if 0 <= c[0] < self.width and 0 <= c[1] < self.height
                      and c not in self.stones)
        return near or [(x, y) for x in range(self.width) for y in range(self.height)
                        if (x, y) not in self.stones]


def numbers(text):
    return [int(v) for v in text.replace(",", " ").split()]


class Proxy:
    def __init__(self, command, noise, rng):
        self.engine = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       text=True, bufsize=1)
        self.noise, self.rng = noise, rng
        self.board = Board()
        self.lock = threading.Lock()
        self.awaiting_move = False  # a move request went to the engine, its move not yet back
        self.swallow = 0            # replies to our own TAKEBACK and PLAY, not for the manager

    def send(self, line):
        with self.lock:
            self.engine.stdin.write(line + "\n")
            self.engine.stdin.flush()

    def pump(self):
        """Passes the engine's lines on, changing some of its moves."""
        for line in self.engine.stdout:
            line = line.rstrip("\r\n")
            if self.swallow:
                self.swallow -= 1
                continue
            if self.awaiting_move and self.is_move(line):
                self.awaiting_move = False
                line = self.maybe_replace(line)
            print(line, flush=True)

    @staticmethod
    def is_move(line):
        parts = line.split(",")
        return len(parts) == 2 and all(p.strip().lstrip("-").isdigit() for p in parts)

    def maybe_replace(self, line):
        move = tuple(numbers(line))
        if move[0] >= 0 and self.rng.random() < self.noise:
            choice = self.rng.choice(self.board.nearby_empty())
            if choice != move:
                self.swallow = 2
                self.send("TAKEBACK %d,%d" % move)
                self.send("PLAY %d,%d" % choice)
                move = choice
        self.board.stones.add(move)
        return "%d,%d" % move

    def command(self, line):
        """Notes what the manager's line does to the board, then passes it on."""
        words = line.split(None, 1)
        word, rest = (words[0].upper(), words[1] if len(words) > 1 else "") if words else ("", "")
        if word == "START":
            size = numbers(rest)[0]
            self.board.start(size, size)
        elif word == "RECTSTART":
            self.board.start(*numbers(rest)[:2])
        elif word == "RESTART":
            self.board.start(self.board.width, self.board.height)
        elif word in ("TURN", "PLAY") or (word[:1].isdigit() and len(numbers(line)) == 3):
            self.board.stones.add(tuple(numbers(rest if word in ("TURN", "PLAY") else line)[:2]))
        elif word == "TAKEBACK":
            self.board.stones.discard(tuple(numbers(rest)[:2]))
        if word in MOVE_REQUESTS:
            self.awaiting_move = True
        self.send(line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--noise", type=float, default=0.25,
                        help="how often a random cell replaces the engine's move")
    parser.add_argument("--seed", type=int, help="of the random choices (default: varies)")
    parser.add_argument("engine", nargs="*", default=[os.path.join(REPO, "build", "pbrain-zelto")])
    args = parser.parse_args()
    proxy = Proxy(args.engine, args.noise, random.Random(args.seed))
    threading.Thread(target=proxy.pump, daemon=True).start()
    for line in sys.stdin:
        line = line.strip()
        proxy.command(line)
        if line.upper() == "END":
            break
    proxy.engine.stdin.close()
    proxy.engine.wait()


if __name__ == "__main__":
    main()
