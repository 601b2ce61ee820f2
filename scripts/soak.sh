#!/usr/bin/env bash
# Soak games: Zelto against itself through the match runner at a fast time
# control, on every square board from 5x5 to 20x20 and on four large
# rectangular ones; fails on any crash, hang, illegal move, time loss, stray
# output line or unclean exit.
#   bash scripts/soak.sh [GAMES]     200 by default; CI plays 20
# ZELTO_SOAK_ENGINE sets another engine command, for example
# "wine build-win/pbrain-zelto.exe"; the default is build/pbrain-zelto.
# ZELTO_SOAK_RECORDS sets the records' directory (default build/soak).
set -euo pipefail
cd "$(dirname "$0")/.."
games="${1:-200}"
. scripts/deps.sh
zelto_install_deps cmake nlohmann-json3-dev g++ make python3
engine="${ZELTO_SOAK_ENGINE-}"
if [ -z "$engine" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j"$(nproc)" --target pbrain-zelto >/dev/null
    engine="$PWD/build/pbrain-zelto"
fi
records="${ZELTO_SOAK_RECORDS:-build/soak}"
echo "== $games soak games: $engine against itself =="
mkdir -p "$records"
/usr/bin/python3 tools/match.py match "$engine" "$engine" --games "$games" \
    --sizes 5-20,40x25,25x60,100x40,30x100 --turn-ms 100 --match-ms 60000 \
    --jobs "$(nproc)" --strict --records "$records" </dev/null >"$records/games.log" ||
    { cat "$records/games.log"; exit 1; }
# One line per game is in the log; the summary is what matters here.
grep -v '^game ' "$records/games.log"
