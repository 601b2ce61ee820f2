#!/usr/bin/env python3
"""Zelto's match runner: plays Gomoku engines through their line protocol the
way tournament managers drive them, judges every game and keeps its record.

  match.py match ENGINE1 ENGINE2 [options]   engine against engine, many games
  match.py play ENGINE [options]             a person against an engine

--sgf FILE appends each game to FILE as an SGF record (FF[4], GM[4]), which
Gomoku board viewers open; SGF names cells by letters, so it holds boards of
up to 52 cells a side.

--psq DIR writes each game to DIR/LEAGUE/ (--league, "League" by default) as
a PSQ file, as a tournament's judge does, named ROUND_BLACK_WHITE_RESULT.psq:
the game's number, the numbers of the engines that played first (Black) and
second (1 and 2, in the order given), and 1 when the first player won, 2 when
the second did, 0 for a draw. Its lines: "zelto-match WxH, ROUND:ROUNDS, 0"
(0: the freestyle rule), one move a line "x,y,ms" counted from 1, the names of
the first and the second player, "-1", and "0,LEAGUE"; lines end in CR LF.

An ENGINE is a command line, for example build/pbrain-zelto or
"wine build-win/pbrain-zelto.exe". Freestyle rule: five or more in a row wins,
a full board is a draw. An engine loses at once on a crash (its output ends),
a hang, an illegal move (off the board, on a stone, or -1,-1) or a time loss.
"""
import argparse
import math
import os
import queue
import re
import shlex
import string
import subprocess
import sys
import threading
import time
from collections import Counter, defaultdict
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field

MOVE_RE = re.compile(r"\s*(-?\d+)\s*,\s*(-?\d+)\s*")
HUMAN_MOVE_RE = re.compile(r"\s*(\d+)\s*[, ]\s*(\d+)\s*")  # "7,8" or "7 8"
NODES_RE = re.compile(r"nodes=(\d+)")
NO_LIMIT = 2147483647  # time_left when the match has no clock
DIRECTIONS = ((1, 0), (0, 1), (1, 1), (1, -1))
STONES = "XO"  # the first player's stones, the second player's
# SGF cells: column letter, then row letter, a..z then A..Z from the top left.
SGF_LETTERS = string.ascii_lowercase + string.ascii_uppercase
SGF_MAX_SIDE = len(SGF_LETTERS)


@dataclass
class Config:
    turn_ms: int = 1000      # timeout_turn
    match_ms: int = 0        # timeout_match; 0: no match clock
    tolerance_ms: int = 200  # grace beyond a limit before a move is late
    hang_s: float = 10.0     # further wait after which a silent engine is hung
    start_s: float = 30.0    # for START's OK (a wine engine starts slowly)
    exit_s: float = 5.0      # for the process to end after END
    max_memory: int = 83886080


class Loss(Exception):
    """The player to move lost by a fault of this kind (crash, hang, time, illegal,
    protocol, resign)."""

    def __init__(self, kind, detail):
        super().__init__(f"{kind}: {detail}")  # read as "lost by <kind>: <detail>"
        self.kind, self.detail = kind, detail


class Game:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.owner = {}   # (x, y) -> side 0 (first player) or 1
        self.moves = []   # (side, (x, y), milliseconds, nodes or None)

    def problem(self, move):
        """Why a move is illegal, or None."""
        x, y = move
        if move == (-1, -1):
            return "is no move (-1,-1)"
        if not (0 <= x < self.width and 0 <= y < self.height):
            return "is off the board"
        if move in self.owner:
            return "is on a stone"
        return None

    def play(self, side, move, ms, nodes):
        self.owner[move] = side
        self.moves.append((side, move, ms, nodes))

    def full(self):
        return len(self.owner) == self.width * self.height

    def five(self, move):
        """True when the stone at move is part of five or more in a row."""
        side = self.owner[move]
        for dx, dy in DIRECTIONS:
            run = 1
            for sign in (1, -1):
                x, y = move[0] + sign * dx, move[1] + sign * dy
                while self.owner.get((x, y)) == side:
                    run, x, y = run + 1, x + sign * dx, y + sign * dy
            if run >= 5:
                return True
        return False

    def draw(self):
        """The board with column numbers on top and row numbers on the left; the
        last stone is bracketed."""
        last = self.moves[-1][1] if self.moves else None
        lines = ["    " + "".join("%3d" % x for x in range(self.width))]
        for y in range(self.height):
            row = ""
            for x in range(self.width):
                side = self.owner.get((x, y))
                mark = "." if side is None else STONES[side]
                row += "[%s]" % mark if (x, y) == last else " %s " % mark
            lines.append("%3d %s" % (y, row))
        return "\n".join(lines)


class EnginePlayer:
    def __init__(self, name, command, config):
        self.name, self.command, self.config = name, command, config
        self.proc = None
        self.protocol_lines = []  # lines that were neither statistics nor moves

    def start(self, game):
        c = self.config
        try:
            self.proc = subprocess.Popen(shlex.split(self.command), stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, bufsize=0)
        except OSError as error:
            raise Loss("crash", "cannot start %r: %s" % (self.command, error)) from None
        self.lines = queue.Queue()  # (arrival time, text); text None at end of output
        self.pump = threading.Thread(target=self._pump, daemon=True)
        self.pump.start()
        self.time_left = c.match_ms or NO_LIMIT
        self.moved = False
        w, h = game.width, game.height
        self.send("START %d" % w if w == h else "RECTSTART %d,%d" % (w, h))
        deadline = time.monotonic() + c.start_s
        while (line := self._reply(deadline, "OK to START")) != "OK":
            if not line.lower().startswith(("message", "debug")):
                raise Loss("protocol", "answered START with %r" % line)
        self.send("INFO rule 0", "INFO timeout_turn %d" % c.turn_ms,
                  "INFO timeout_match %d" % c.match_ms, "INFO max_memory %d" % c.max_memory)

    def _pump(self):
        for raw in iter(self.proc.stdout.readline, b""):
            self.lines.put((time.monotonic(), raw.decode("latin-1").rstrip("\r\n")))
        self.lines.put((time.monotonic(), None))

    def send(self, *lines):
        try:
            self.proc.stdin.write("".join(line + "\n" for line in lines).encode("latin-1"))
            self.proc.stdin.flush()
        except OSError:
            pass  # a dead engine shows as the end of its output

    def _next(self, deadline, what):
        try:
            at, line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
        except queue.Empty:
            raise Loss("hang", "no %s" % what) from None
        if line is None:
            self.lines.put((at, None))
            # The output can end a moment before the process is gone.
            try:
                status = self.proc.wait(self.config.exit_s)
            except subprocess.TimeoutExpired:
                status = "none yet"
            raise Loss("crash", "output ended (exit status %s)" % status)
        return at, line

    def _reply(self, deadline, what):
        return self._next(deadline, what)[1]

    def request(self, game, side):
        """Asks for a move as a manager does; returns (move, milliseconds, nodes)."""
        c = self.config
        lines = ["INFO time_left %d" % self.time_left]
        if game.moves and not self.moved:
            # The second player's first request carries the position so far.
            lines += ["BOARD"] + ["%d,%d,%d" % (x, y, 1 if s == side else 2)
                                  for s, (x, y), _, _ in game.moves] + ["DONE"]
        elif game.moves:
            lines.append("TURN %d,%d" % game.moves[-1][1])
        else:
            lines.append("BEGIN")
        self.moved = True
        limit_ms = min(c.turn_ms, self.time_left)
        sent = time.monotonic()
        self.send(*lines)
        deadline = sent + (limit_ms + c.tolerance_ms) / 1000
        nodes = None
        while True:
            at, line = self._next(deadline + c.hang_s, "move %g s after the limit" % c.hang_s)
            if line.lower().startswith("message"):
                if m := NODES_RE.search(line):
                    nodes = int(m.group(1))
                continue
            if line.lower().startswith("debug"):
                continue
            m = MOVE_RE.fullmatch(line)
            if not m:
                self.protocol_lines.append(line)
                continue
            ms = (at - sent) * 1000
            if at > deadline:
                raise Loss("time", "%.0f ms for a move, limit %d ms" % (ms, limit_ms))
            if c.match_ms:
                self.time_left -= round(ms)
            return (int(m.group(1)), int(m.group(2))), ms, nodes

    def finish(self, fault):
        """Ends the engine after its game: END, unless it crashed or hung, then a clean
        exit with status 0 is expected. Returns failures as (kind, detail)."""
        failures = [("protocol", "unexpected line %r" % line) for line in self.protocol_lines]
        if self.proc is None:
            return failures
        if fault == "hang":
            self.proc.kill()
        elif fault != "crash":
            self.send("END")
        try:
            status = self.proc.wait(self.config.exit_s)
            if status != 0 and fault not in ("crash", "hang"):
                failures.append(("exit", "exit status %d after END" % status))
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            failures.append(("exit", "still running %g s after END" % self.config.exit_s))
        # The reader thread sees the end of output once the process is gone;
        # closing the pipe under it would break its read.
        self.pump.join(self.config.exit_s)
        try:
            self.proc.stdin.close()
        except OSError:
            pass
        if not self.pump.is_alive():
            self.proc.stdout.close()
        return failures


class HumanPlayer:
    """A person at the terminal: the board is drawn before each of their moves."""

    def __init__(self, name="you", source=sys.stdin, out=sys.stdout):
        self.name, self.source, self.out = name, source, out

    def start(self, game):
        pass

    def request(self, game, side):
        started = time.monotonic()
        while True:
            self.out.write("%s (%s) to move, x,y or q: " % (self.name, STONES[side]))
            self.out.flush()
            line = self.source.readline()
            if not line or line.strip().lower() in ("q", "quit"):
                raise Loss("resign", "the player quit")
            m = HUMAN_MOVE_RE.fullmatch(line)
            move = (int(m.group(1)), int(m.group(2))) if m else None
            problem = "is not x,y" if move is None else game.problem(move)
            if problem is None:
                return move, (time.monotonic() - started) * 1000, None
            self.out.write("%s %s\n" % (line.strip(), problem))

    def finish(self, fault):
        return []


@dataclass
class Result:
    number: int
    game: Game
    names: list               # [first player, second player]
    winner: int = None        # side, None for a draw
    reason: str = ""
    fault: str = None         # the kind of loss that ended the game, if one did
    failures: list = field(default_factory=list)  # (name, kind, detail)


def play_game(number, players, width, height, observe=None):
    """Plays one game, players[0] first; observe(game) runs after every move."""
    game = Game(width, height)
    result = Result(number, game, [p.name for p in players])
    faults = [None, None]
    side = 0
    try:
        for side, player in enumerate(players):
            player.start(game)
        side = 0
        while True:
            # A full board is a draw before anyone is asked for a move.
            if game.full():
                result.reason = "full board"
                break
            move, ms, nodes = players[side].request(game, side)
            if problem := game.problem(move):
                raise Loss("illegal", "%d,%d %s" % (move[0], move[1], problem))
            game.play(side, move, ms, nodes)
            if observe:
                observe(game)
            if game.five(move):
                result.winner, result.reason = side, "five in a row"
                break
            side ^= 1
    except Loss as loss:
        faults[side] = result.fault = loss.kind
        result.winner = 1 - side
        result.reason = "%s lost by %s" % (players[side].name, loss)
        result.failures.append((players[side].name, loss.kind, loss.detail))
    finally:
        for s, player in enumerate(players):
            result.failures += [(player.name, k, d) for k, d in player.finish(faults[s])]
    return result


def outcome(result):
    if result.winner is None:
        return "draw (%s)" % result.reason
    return "%s wins (%s)" % (result.names[result.winner], result.reason)


def record_text(result, config=None):
    g = result.game
    lines = ["game %d" % result.number, "board %dx%d" % (g.width, g.height),
             "first %s (X)" % result.names[0], "second %s (O)" % result.names[1]]
    if config:
        lines.append("rule 0  timeout_turn %d  timeout_match %d  tolerance %d ms"
                     % (config.turn_ms, config.match_ms, config.tolerance_ms))
    for i, (side, (x, y), ms, nodes) in enumerate(g.moves, 1):
        lines.append("%d. %s %d,%d %.1f ms%s" % (i, STONES[side], x, y, ms,
                                                 "" if nodes is None else " nodes %d" % nodes))
    lines += ["failure %s %s: %s" % f for f in result.failures]
    lines += ["result " + outcome(result), g.draw(), ""]
    return "\n".join(lines)


def sgf_record(result, date=None):
    """The game as one SGF line: the first player is Black (B), as in Gomoku."""
    g = result.game

    def text(value):  # SGF text escapes only "]" and "\\"
        return value.replace("\\", "\\\\").replace("]", "\\]")

    size = "%d" % g.width if g.width == g.height else "%d:%d" % (g.width, g.height)
    if result.winner is None:
        outcome_code = "0"
    else:
        # A win by five is plain "B+"; T, R and F name a loss on time, by
        # resignation, and by any other fault (a forfeit).
        outcome_code = "BW"[result.winner] + "+" + (
            "" if result.fault is None else {"time": "T", "resign": "R"}.get(result.fault, "F"))
    head = ("(;FF[4]GM[4]CA[UTF-8]SZ[%s]GN[game %d]DT[%s]PB[%s]PW[%s]RE[%s]C[%s]"
            % (size, result.number, date or time.strftime("%Y-%m-%d"), text(result.names[0]),
               text(result.names[1]), outcome_code, text(outcome(result))))
    moves = "".join(";%s[%s%s]" % ("BW"[side], SGF_LETTERS[x], SGF_LETTERS[y])
                    for side, (x, y), _, _ in g.moves)
    return head + moves + ")\n"


PSQ_PROGRAM = "zelto-match"
PSQ_RULE = 0  # freestyle


def psq_name(result, numbers):
    """ROUND_BLACK_WHITE_RESULT.psq, numbers[side] being the engine of that side."""
    code = 0 if result.winner is None else result.winner + 1
    return "%d_%d_%d_%d.psq" % (result.number, numbers[0], numbers[1], code)


def psq_record(result, rounds, league):
    """The game as a tournament's judge writes it: header, moves from 1, names, -1."""
    g = result.game
    lines = ["%s %dx%d, %d:%d, %d" % (PSQ_PROGRAM, g.width, g.height, result.number, rounds,
                                      PSQ_RULE)]
    lines += ["%d,%d,%d" % (x + 1, y + 1, round(ms)) for _, (x, y), ms, _ in g.moves]
    lines += [result.names[0], result.names[1], "-1", "%d,%s" % (PSQ_RULE, league)]
    return "".join(line + "\r\n" for line in lines)


def append_sgf(path, result):
    with open(path, "a", encoding="utf-8") as f:
        f.write(sgf_record(result))


def percentile(values, p):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(p / 100 * len(ordered)) - 1)]


def summary(results, names):
    """Wins, losses and draws per engine, failures by kind, and per-move times and
    node counts."""
    score = {n: Counter() for n in names}
    times, nodes = defaultdict(list), defaultdict(list)
    kinds = Counter()
    for r in results:
        for side, name in enumerate(r.names):
            key = "D" if r.winner is None else "W" if r.winner == side else "L"
            score[name][key] += 1
        for side, _, ms, n in r.game.moves:
            times[r.names[side]].append(ms)
            if n is not None:
                nodes[r.names[side]].append(n)
        kinds.update(kind for _, kind, _ in r.failures)
    first = sum(r.winner == 0 for r in results)
    out = ["games %d, first player won %d, draws %d" % (
        len(results), first, sum(r.winner is None for r in results))]
    for name in names:
        s = score[name]
        out.append("%s: %d wins, %d losses, %d draws" % (name, s["W"], s["L"], s["D"]))
    out.append("failures: " + (", ".join("%s %d" % kv for kv in sorted(kinds.items()))
                               or "none"))
    for name in names:
        for label, values, form in (("time", times[name], "%.1f ms"), ("nodes", nodes[name], "%d")):
            if values:
                out.append(("%s %s per move: n %d, median {0}, p95 {0}, max {0}".format(form)) % (
                    name, label, len(values), percentile(values, 50), percentile(values, 95),
                    max(values)))
    return "\n".join(out), kinds


def parse_sizes(text):
    """"15", "5-20" and "30x20" items, separated by commas, into (width, height)."""
    sizes = []
    for item in text.split(","):
        if "x" in item:
            w, h = item.split("x")
            sizes.append((int(w), int(h)))
        elif "-" in item:
            low, high = item.split("-")
            sizes += [(n, n) for n in range(int(low), int(high) + 1)]
        else:
            sizes.append((int(item), int(item)))
    return sizes


def engine_names(commands):
    """Executable names without extension; numbered when they are the same."""
    base = [os.path.splitext(os.path.basename(shlex.split(c)[-1]))[0] for c in commands]
    if len(base) > 1 and len(set(base)) == 1:
        return [b + "#%d" % (i + 1) for i, b in enumerate(base)]
    return base


def colour_order(game, sizes):
    """Which engine plays first in game `game` (from 0) of a match over `sizes`
    board sizes: colours alternate game by game, and with an even number of
    sizes they also change with each round, so every size is played both ways."""
    flip = (game + game // sizes) % 2 if sizes % 2 == 0 else game % 2
    return [1, 0] if flip else [0, 1]


def run_match(args, config):
    names = args.name or (args.names.split(",") if args.names else engine_names(args.engines))
    sizes = parse_sizes(args.sizes)
    os.makedirs(args.records, exist_ok=True)
    league = os.path.join(args.psq, args.league) if args.psq else None
    if league:
        os.makedirs(league, exist_ok=True)
    out_lock = threading.Lock()

    def one(i):
        w, h = sizes[i % len(sizes)]
        order = colour_order(i, len(sizes))
        players = [EnginePlayer(names[k], args.engines[k], config) for k in order]
        result = play_game(i + 1, players, w, h)
        text = record_text(result, config)
        with open(os.path.join(args.records, "game-%04d.txt" % (i + 1)), "w") as f:
            f.write(text)
        if league:
            with open(os.path.join(league, psq_name(result, [k + 1 for k in order])), "w",
                      encoding="utf-8", newline="") as f:
                f.write(psq_record(result, args.games, args.league))
        with out_lock:
            if args.sgf:
                append_sgf(args.sgf, result)
            if args.show:
                print(result.game.draw())
            print("game %d %dx%d %s vs %s: %s in %d moves" % (
                i + 1, w, h, result.names[0], result.names[1], outcome(result),
                len(result.game.moves)))
            for name, kind, detail in result.failures:
                print("  failure %s %s: %s" % (name, kind, detail))
            sys.stdout.flush()
        return result

    started = time.monotonic()
    with ThreadPoolExecutor(max_workers=args.jobs) as pool:
        results = list(pool.map(one, range(args.games)))
    text, kinds = summary(results, names)
    print(text)
    print("%.1f s; records in %s%s" % (time.monotonic() - started, args.records,
                                       " and " + args.sgf if args.sgf else ""))
    return 1 if args.strict and kinds else 0


def run_play(args, config):
    w, h = parse_sizes(args.size)[0]
    human = HumanPlayer()
    engine = EnginePlayer(engine_names([args.engine])[0], args.engine, config)
    players = [human, engine] if args.human_first else [engine, human]
    print("You play %s; coordinates are column,row from 0." % STONES[players.index(human)])
    if args.human_first:
        print(Game(w, h).draw())
    result = play_game(1, players, w, h, observe=lambda game: print(game.draw()))
    print("Result: " + outcome(result))
    if args.sgf:
        append_sgf(args.sgf, result)
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="mode", required=True)
    match = sub.add_parser("match", help="engine against engine")
    match.add_argument("engines", nargs=2, metavar="ENGINE")
    match.add_argument("--games", type=int, default=2)
    match.add_argument("--sizes", "--size", default="15",
                       help='board sizes used in turn, e.g. "5-20,30x20" (default 15)')
    match.add_argument("--names", help="two names, comma-separated")
    match.add_argument("--name", action="append", metavar="NAME",
                       help="the name an engine plays under, once for each engine in order")
    match.add_argument("--psq", metavar="DIR", help="write every game to DIR/LEAGUE/ as PSQ")
    match.add_argument("--league", default="League", help="the league's folder for --psq")
    match.add_argument("--jobs", type=int, default=1, help="games played at once")
    match.add_argument("--records", default="match-records", help="directory for the records")
    match.add_argument("--show", action="store_true", help="draw each final board")
    match.add_argument("--strict", action="store_true",
                       help="exit with status 1 on any failure (crash, hang, time, ...)")
    play = sub.add_parser("play", help="you against an engine in this terminal")
    play.add_argument("engine", metavar="ENGINE")
    play.add_argument("--size", default="15", help='e.g. 15 or 20x15')
    play.add_argument("--human-first", action="store_true")
    for p in (match, play):
        p.add_argument("--turn-ms", type=int, default=Config.turn_ms)
        p.add_argument("--match-ms", type=int, default=Config.match_ms)
        p.add_argument("--tolerance-ms", type=int, default=Config.tolerance_ms)
        p.add_argument("--hang-s", type=float, default=Config.hang_s)
        p.add_argument("--sgf", metavar="FILE", help="append every game to FILE as SGF")
    args = parser.parse_args(argv)
    sizes = parse_sizes(args.sizes if args.mode == "match" else args.size)
    too_large = [(w, h) for w, h in sizes if max(w, h) > SGF_MAX_SIDE]
    if args.sgf and too_large:
        parser.error("--sgf: SGF names cells by letters and holds boards of up to %d cells a "
                     "side, not %dx%d" % ((SGF_MAX_SIDE,) + too_large[0]))
    if args.mode == "match":
        if args.name and (len(args.name) != 2 or args.names):
            parser.error("--name: give it once for each of the two engines, without --names")
        if args.names and len(args.names.split(",")) != 2:
            parser.error("--names: two names, comma-separated")
        if any(c in name for name in args.name or [args.names or ""] for c in "\r\n"):
            parser.error("--name, --names: a name on one line")
        # The league is one folder inside DIR, never a path out of it.
        if args.league in ("", ".", "..") or any(c in args.league for c in "/\\\0"):
            parser.error("--league: a folder name, without / or \\")
    config = Config(turn_ms=args.turn_ms, match_ms=args.match_ms,
                    tolerance_ms=args.tolerance_ms, hang_s=args.hang_s)
    return run_match(args, config) if args.mode == "match" else run_play(args, config)


if __name__ == "__main__":
    sys.exit(main())
