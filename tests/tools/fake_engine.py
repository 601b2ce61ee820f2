"""A scripted engine for the match runner's tests. Each move request is answered
by the next argument: "x,y" plays it; "crash" exits at once; "hang" never
answers; "late:MS:x,y" answers after MS milliseconds; "junk:x,y" writes a stray
line first. Options: --log FILE records every command received; --stay ignores
END. Replies end in CR LF, as a Windows engine's do."""
import os
import sys
import time

args = sys.argv[1:]
log = None
stay = "--stay" in args
if "--log" in args:
    i = args.index("--log")
    log = open(args[i + 1], "w")
    del args[i:i + 2]
script = iter(a for a in args if a != "--stay")


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
    line = line.rstrip("\n")
    if log:
        log.write(line + "\n")
        log.flush()
    word = line.split(" ")[0].upper()
    if in_board:
        if word == "DONE":
            in_board = False
            move()
    elif word in ("START", "RECTSTART"):
        reply("OK")
    elif word in ("BEGIN", "TURN"):
        move()
    elif word == "BOARD":
        in_board = True
    elif word == "END" and not stay:
        sys.exit(0)
