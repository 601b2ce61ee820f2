#!/usr/bin/env python3
"""A tournament's archive for the reviewer, and the time it takes to review.

  review_archive.py [--games 160] [--runs 3] [--turn-ms 20] [--dir DIR]

Plays two leagues with tools/match.py, 15x15, written as PSQ files into
DIR/results/Freestyle15/ (Zelto against a copy of it that plays at random
half the time, named Noisy) and DIR/results/Fastgame15/ (two noisy copies,
Wild and Rookie), zips the folder as DIR/results.zip, then reviews the zip
with -j 1 and -j 2 in turn, RUNS times each, and prints the median times,
games per second, their ratio and what 13,000 games would take.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("ZELTO_BUILD", os.path.join(REPO, "build"))
ENGINE = os.path.join(BUILD, "pbrain-zelto")
REVIEW = os.path.join(BUILD, "zelto-review")
YEAR = 13000  # games of a year's archive


def noisy(noise, seed):
    return "%s %s --noise %s --seed %d %s" % (
        sys.executable, os.path.join(REPO, "bench", "noisy_engine.py"), noise, seed, ENGINE)


def make_archive(root, games=160, turn_ms=20, timeout=900):
    """Plays the two leagues into root/results/ and zips it as root/results.zip;
    returns both paths."""
    folder = os.path.join(root, "results")
    leagues = (("Freestyle15", ENGINE, noisy(0.5, 1), "Zelto", "Noisy"),
               ("Fastgame15", noisy(0.7, 2), noisy(0.4, 3), "Wild", "Rookie"))
    for league, first, second, name1, name2 in leagues:
        subprocess.run([sys.executable, os.path.join(REPO, "tools", "match.py"), "match", first,
                        second, "--games", str(games), "--size", "15", "--turn-ms", str(turn_ms),
                        "--jobs", "2", "--records", os.path.join(root, "records-" + league),
                        "--psq", folder, "--league", league, "--name", name1, "--name", name2],
                       check=True, capture_output=True, timeout=timeout)
    zipped = os.path.join(root, "results.zip")
    with zipfile.ZipFile(zipped, "w", zipfile.ZIP_DEFLATED) as z:
        for league, *_ in leagues:
            for name in sorted(os.listdir(os.path.join(folder, league))):
                z.write(os.path.join(folder, league, name), league + "/" + name)
    return folder, zipped


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--games", type=int, default=160, help="games of each league")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--turn-ms", type=int, default=20)
    parser.add_argument("--dir", help="where the archive goes (a new temporary folder)")
    args = parser.parse_args()
    root = args.dir or tempfile.mkdtemp(prefix="zelto-archive-")
    started = time.monotonic()
    _, zipped = make_archive(root, args.games, args.turn_ms)
    games = 2 * args.games
    print("%d games played into %s in %.0f s" % (games, zipped, time.monotonic() - started))
    times = {1: [], 2: []}
    for _ in range(args.runs):
        for jobs in (1, 2):
            started = time.monotonic()
            subprocess.run([REVIEW, zipped, "-j", str(jobs), "--turn-ms", str(args.turn_ms)],
                           check=True, stdout=subprocess.DEVNULL)
            times[jobs].append(time.monotonic() - started)
    for jobs, seconds in times.items():
        median = statistics.median(seconds)
        print("-j %d: %s s, median %.2f s, %.1f games/s; %d games in about %.0f min" % (
            jobs, " ".join("%.2f" % s for s in seconds), median, games / median, YEAR,
            YEAR * median / games / 60))
    print("ratio -j 1 / -j 2 of the medians: %.2f" % (
        statistics.median(times[1]) / statistics.median(times[2])))


if __name__ == "__main__":
    main()
