#!/usr/bin/env bash
# Builds everything in Release and runs every test: the unit tests and the
# protocol tests through CTest, then the protocol tests once more against a
# ThreadSanitizer build of the engine, against the Windows build under wine,
# the match runner's tests and 20 soak games.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zelto_install_deps cmake g++ make libgtest-dev python3 python3-pytest
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZELTO_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"

echo "== protocol tests against the ThreadSanitizer build =="
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELTO_SANITIZE=thread -DZELTO_TESTS=OFF >/dev/null
cmake --build build-tsan -j"$jobs" --target pbrain-zelto
# Any report makes the engine exit non-zero, which the suite checks at every exit.
TSAN_OPTIONS="halt_on_error=1 exitcode=66" ZELTO_ENGINE="$PWD/build-tsan/pbrain-zelto" \
    /usr/bin/python3 -m pytest -q tests/protocol

bash scripts/windows.sh test
/usr/bin/python3 -m pytest -q tests/tools && bash scripts/soak.sh 20
