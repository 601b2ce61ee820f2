#!/usr/bin/env bash
# Builds everything in Release and runs every test: the unit tests and the
# protocol tests through CTest, the check that every dependency of src/ points
# down its layers (layers.sh) and the formatting check (format.sh), then both
# test suites again under the sanitizers (sanitize.sh), a one-minute fuzz run
# of the command loop (fuzz.sh), the protocol tests against the Windows build
# under wine, the match runner's tests and 20 soak games.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zelto_install_deps cmake g++ make libgtest-dev python3 python3-pytest
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZELTO_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"
bash scripts/layers.sh build
bash scripts/format.sh --check

bash scripts/sanitize.sh
bash scripts/fuzz.sh 60

bash scripts/windows.sh test
/usr/bin/python3 -m pytest -q tests/tools && bash scripts/soak.sh 20

# The README's examples, as a reader types them; every shell command in the
# docs must appear in this file or a script it calls.
bash scripts/run.sh
python3 tools/match.py match build/pbrain-zelto build/pbrain-zelto --games 2 --size 15 --turn-ms 100 --records build/match
printf '7,7\n7,9\nquit\n' | python3 tools/match.py play build/pbrain-zelto --size 15 >/dev/null
python3 bench/selfplay.py build/pbrain-zelto --size 9x9 --games 1 --turn-ms 60 >/dev/null
