#!/usr/bin/env bash
# Builds everything and runs every test, one step after another: the unit
# tests, the protocol tests and the benchmark signature through CTest on the
# Release build; the engine, its unit tests and benchmark signature built with
# clang-14; the check that every dependency of src/ points down its
# layers (layers.sh) and the formatting check (format.sh); the same tests
# under the sanitizers (sanitize.sh); a minute of fuzzing the command loop and
# 20 s of the record readers (fuzz.sh); the protocol tests and 10 games against
# the Windows build under wine (windows.sh test); the browser build's
# benchmark signature under Node.js and its page in headless Chromium (web.sh
# test); the match runner's and the reviewer's tests and 20 soak games; a
# default configure without GoogleTest, and an install; the release packages
# (release.sh); and the README's examples.
#
# Each step is one line on screen, written as it starts and finished with "ok"
# and its time; its output goes to build/logs/. A failing step shows the end
# of its log, names itself and stops the run. The last line counts what ran.
# To add a step:  zelto_step "doing what" COMMAND ARGS...   (or a function)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
# Every step's packages in one install, so that the download shows up front
# and a user without root is given one command; recommended packages (fonts,
# desktop helpers) are left out, as no step needs them.
ZELTO_APT_OPTIONS=--no-install-recommends zelto_install_deps \
    cmake g++ make nlohmann-json3-dev libgtest-dev libminizip-dev zlib1g-dev python3 python3-pytest clang-14 libclang-rt-14-dev clang-format-14 file parallel \
    g++-mingw-w64-x86-64-posix wine emscripten node-acorn chromium chromium-driver python3-selenium
jobs="$(nproc)"
rm -rf build/logs

# Counts read from the last step's log: the lines that match, and the sum of
# the numbers before " passed" in pytest's closing lines.
lines() { grep -c "$1" "$ZELTO_STEP_LOG" || true; }
passed() { grep -oE '[0-9]+ passed' "$ZELTO_STEP_LOG" | awk '{s += $1} END {print s + 0}'; }

release_build() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZELTO_TESTS=ON
    cmake --build build -j"$jobs"
    # -V keeps every test's output in the log, where the counts are read.
    ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs" -V
}
zelto_step "building the Release build and running its unit, protocol and signature tests" release_build
unit="$(lines '\[  PASSED  \] 1 test\.')" protocol="$(passed)"
clang_build() {
    # The second compiler: its own warnings (errors, as in every build), its
    # unit tests and its benchmark signature.
    CC=clang-14 CXX=clang++-14 cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Release -DZELTO_TESTS=ON
    cmake --build build-clang -j"$jobs" --target zelto_tests zelto-bench zelto-solver-bench
    build-clang/zelto_tests
    build-clang/zelto-bench | bash scripts/signature.sh --verify clang-14
    build-clang/zelto-solver-bench | bash scripts/signature.sh --solver --verify clang-14
}
zelto_step "building the engine and its unit tests with clang-14 and running them" clang_build
zelto_step "checking that every dependency of src/ points down its layers" bash scripts/layers.sh build
zelto_step "checking the formatting of the C++ sources" bash scripts/format.sh --check

zelto_step "running the unit and protocol tests under AddressSanitizer+UBSan and ThreadSanitizer" \
    bash scripts/sanitize.sh
sanitizer_passes="$(lines '^100% tests passed')"
sanitizer_tests="$(sed -n 's/^100% tests passed, 0 tests failed out of //p' "$ZELTO_STEP_LOG" |
                   awk '{s += $1} END {print s + 0}')"

fuzz_seconds=60 record_fuzz_seconds=20
zelto_step "fuzzing the command loop for $fuzz_seconds s and the record readers for $record_fuzz_seconds s" \
    bash scripts/fuzz.sh "$fuzz_seconds" "$record_fuzz_seconds"
fuzz_inputs="$(sed -n 's/^stat::number_of_executed_units: //p' "$ZELTO_STEP_LOG")"
record_inputs="$(sed -n 's/^record readers: \([0-9]*\) inputs$/\1/p' "$ZELTO_STEP_LOG")"

zelto_step "building the Windows engine and running the protocol tests and 10 games under wine" \
    bash scripts/windows.sh test
wine_tests="$(passed)" wine_games="$(sed -n 's/^games \([0-9]*\),.*/\1/p' "$ZELTO_STEP_LOG")"

zelto_step "building the browser page, checking its benchmark signature and playing it in Chromium" \
    bash scripts/web.sh test
web_tests="$(passed)"

zelto_step "running the match runner's and the reviewer's tests" /usr/bin/python3 -m pytest -q tests/tools
tool_tests="$(passed)"
zelto_step "playing 20 soak games" bash scripts/soak.sh 20
soak_games="$(sed -n 's/^games \([0-9]*\),.*/\1/p' "$ZELTO_STEP_LOG")"

plain_build_and_install() {
    # As on a machine without GoogleTest: the default configure leaves the
    # tests out and says so in one line.
    local configured
    configured="$(cmake -S . -B build-plain -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON)"
    echo "$configured"
    [ "$(grep -c 'GoogleTest not found' <<<"$configured")" -eq 1 ]
    cmake --build build-plain -j"$jobs"
    # The README's install command, staged under build/staged.
    rm -rf build/staged
    DESTDIR="$PWD/build/staged" cmake --install build --prefix /usr/local
    local doc=build/staged/usr/local/share/doc/zelto
    ls -lR build/staged
    [ -x build/staged/usr/local/bin/pbrain-zelto ]
    [ -x build/staged/usr/local/bin/zelto-review ]
    for file in README.md README.txt LICENSE docs/protocol.md; do
        [ -f "$doc/$file" ]
    done
}
zelto_step "configuring and building without GoogleTest, and installing" plain_build_and_install

zelto_step "building the release packages and testing the unpacked engines" bash scripts/release.sh
release_tests="$(passed)"

readme_examples() {
    # As a reader types them; every shell command in the docs must appear in
    # this file or a script it calls.
    bash scripts/run.sh
    rm -f build/games.sgf
    python3 tools/match.py match build/pbrain-zelto build/pbrain-zelto --games 2 --size 15 --turn-ms 100 --records build/match --sgf build/games.sgf
    build/zelto-review build/games.sgf --turn-ms 100
    build/zelto-review build/games.sgf --game 2 --json --turn-ms 100 >/dev/null
    build/zelto-review build/games.sgf --final >/dev/null
    rm -rf build/psq build/league.zip build/league.jsonl
    python3 tools/match.py match build/pbrain-zelto build/pbrain-zelto --games 2 --size 15 --turn-ms 100 --records build/match --psq build/psq --league Freestyle15_1
    (cd build/psq && python3 -m zipfile -c ../league.zip Freestyle15_1)
    build/zelto-review build/psq build/league.zip --turn-ms 100 -j 2 --jsonl build/league.jsonl --report build/report.html
    build/zelto-review build/games.sgf --report build/report.html --turn-ms 100 >/dev/null
    rm -f build/part*.jsonl
    find build/psq -name '*.psq' | sort | parallel --will-cite -j 2 -n 500 build/zelto-review -j 1 --jsonl build/part{#}.jsonl {} >/dev/null
    build/zelto-review --from build/part*.jsonl --report build/report.html
    printf '7,7\n7,9\nquit\n' | python3 tools/match.py play build/pbrain-zelto --size 15 >/dev/null
    python3 bench/selfplay.py build/pbrain-zelto --size 9x9 --games 1 --turn-ms 60 >/dev/null
}
zelto_step "playing the README's examples" readme_examples

echo "All $ZELTO_STEP_COUNT steps passed in $((SECONDS / 60)) min $((SECONDS % 60)) s:" \
     "$unit unit tests, $protocol protocol tests, $sanitizer_passes sanitizer passes" \
     "($sanitizer_tests tests), $fuzz_seconds s of fuzzing ($fuzz_inputs inputs) and $record_fuzz_seconds s of the record" \
     "readers ($record_inputs inputs)," \
     "$wine_tests protocol tests and $wine_games games under wine, $web_tests browser tests," \
     "$tool_tests match runner and reviewer tests, $soak_games soak games," \
     "$release_tests protocol tests on the unpacked release engines."
