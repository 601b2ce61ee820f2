#!/usr/bin/env bash
# Builds the self-contained Windows engine build-win/pbrain-zelto.exe, its
# benchmark and the reviewer (which reads no zip: Debian has no minizip for
# Windows) with mingw-w64:    bash scripts/windows.sh
# and also checks the benchmark's signature, runs the protocol tests and 10
# soak games against it under wine:
#                             bash scripts/windows.sh test
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
export ZELTO_APT_OPTIONS=--no-install-recommends
zelto_install_deps cmake nlohmann-json3-dev make g++-mingw-w64-x86-64-posix

cmake --no-warn-unused-cli -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DZELTO_TESTS=OFF -DZELTO_ZIP=OFF >/dev/null
cmake --build build-win -j"$(nproc)" --target pbrain-zelto zelto-bench zelto-review
echo "build-win/pbrain-zelto.exe: $(stat -c %s build-win/pbrain-zelto.exe) bytes"
[ "${1-}" = test ] || exit 0

echo "== protocol tests against the Windows build under wine =="
zelto_install_deps python3 python3-pytest
zelto_start_wine
# The Windows build must decide every benchmark position as the Linux one does.
wine build-win/zelto-bench.exe bench/positions.txt | bash scripts/signature.sh --verify Windows
ZELTO_ENGINE_CMD="wine $PWD/build-win/pbrain-zelto.exe" /usr/bin/python3 -m pytest -q tests/protocol
# A few whole games as well: long sessions of BOARD, TURN and INFO time_left.
ZELTO_SOAK_ENGINE="wine $PWD/build-win/pbrain-zelto.exe" ZELTO_SOAK_RECORDS=build-win/soak \
    bash scripts/soak.sh 10
