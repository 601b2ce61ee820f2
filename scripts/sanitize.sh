#!/usr/bin/env bash
# Builds everything twice more, with AddressSanitizer + UndefinedBehaviorSanitizer
# (build-asan) and with ThreadSanitizer (build-tsan), and runs the unit tests and
# the protocol tests against each, and the reviewer's tests of folders and of
# damaged and hostile zip archives against the first. Every sanitizer report is fatal: the engine or
# test process exits non-zero and the run fails (CMakeLists.txt gives the tests
# the sanitizers' options, so ctest in these directories runs them the same way).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zelto_install_deps cmake nlohmann-json3-dev g++ make libgtest-dev libminizip-dev zlib1g-dev python3 python3-pytest
jobs="$(nproc)"

for sanitizer in address,undefined thread; do
    dir=build-asan skip=()
    # The benchmark is one thread searching for minutes under ThreadSanitizer,
    # which has nothing to watch there; AddressSanitizer still runs it.
    [ "$sanitizer" = thread ] && dir=build-tsan skip=(-E '^bench-signature$')
    echo "== unit and protocol tests under -fsanitize=$sanitizer =="
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELTO_SANITIZE="$sanitizer" \
        -DZELTO_ASSERTS=ON -DZELTO_TESTS=ON >/dev/null
    cmake --build "$dir" -j"$jobs"
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" "${skip[@]}"
done
echo "== the reviewer's folder and archive tests under -fsanitize=address,undefined =="
ZELTO_REVIEW="$PWD/build-asan/zelto-review" ASAN_OPTIONS=detect_stack_use_after_return=1:exitcode=66 \
    UBSAN_OPTIONS=print_stacktrace=1:exitcode=66 \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/tools/test_review.py -k "archive or folder"
