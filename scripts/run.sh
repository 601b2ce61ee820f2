#!/usr/bin/env bash
# Builds the engine (Release) and plays a short demonstration game of Zelto
# against itself on a 15x15 board through the match runner, showing the final
# board and the result. It needs no input. To play the engine yourself:
#   /usr/bin/python3 tools/match.py play build/pbrain-zelto
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zelto_install_deps cmake nlohmann-json3-dev g++ make python3
build_engine() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j"$(nproc)" --target pbrain-zelto
}
zelto_step "building the engine, build/pbrain-zelto" build_engine
demonstration() {
    /usr/bin/python3 tools/match.py match build/pbrain-zelto build/pbrain-zelto \
        --names Zelto-X,Zelto-O --games 1 --size 15 --turn-ms 500 --show \
        --records build/demo
}
zelto_step "playing a demonstration game, Zelto against itself at 500 ms a move" demonstration
# The final board and the result, as the match runner showed them.
cat "$ZELTO_STEP_LOG"
