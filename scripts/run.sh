#!/usr/bin/env bash
# Builds the engine (Release) and starts it on this console: type protocol
# commands such as START 15, BEGIN, TURN 7,7, PRINTBOARD, END.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zelto_install_deps cmake g++ make
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZELTO_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target pbrain-zelto
exec build/pbrain-zelto
