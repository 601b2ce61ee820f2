"""A scripted engine for the match runner's tests. Each move request is answered
by the next argument: "x,y" plays it; "crash" exits at once; "hang" never
answers; "late:MS:x,y" answers after MS milliseconds; "junk:x,y" writes a stray
line first. --log FILE records every command received; --stay ignores END.
Replies end in CR LF, as a Windows engine's do."""
import os
import sys
import time

args = sys.argv[1:]
log = open(args.pop(args.index("--log") + 1), "w") if "--log" in args else None
script = iter(a for a in args if a not in ("--log", "--stay"))


def reply(*lines):
    sys.stdout.write("".join(line + "\r\n" for line in lines))
    sys.stdout.flush()


def move():
    token = next(script, "crash")
    if token == "crash":
        os._exit(3)
    if token == "hang":
        time.sleep(3600)
    if token.startswith("late:"):
        _, ms, token = token.split(":")
        time.sleep(int(ms) / 1000)
    if token.startswith("junk:"):
        reply("what?")
        token = token[5:]
    reply("MESSAGE time=0.000000 s, eval=0, depth=1, nodes=7", token)


in_board = False
for line in sys.stdin:
    if log:
        log.write(line)
        log.flush()
    word = line.split()[0].upper() if line.split() else ""
    if word in ("START", "RECTSTART"):
        reply("OK")
    elif word in ("BEGIN", "TURN", "DONE") and (word == "DONE") == in_board:
        in_board = False
        move()
    elif word == "BOARD":
        in_board = True
    elif word == "END" and "--stay" not in args:
        sys.exit(0)
