#!/usr/bin/env bash
# Builds the benchmark (Release, in build/) and prints only its signature, the
# hash of every decision it makes on its suite. With --check, also compares it
# with the one CMakeLists.txt pins and fails when they differ; --pinned only
# prints the pinned one. --verify NAME builds nothing: it reads another build's
# benchmark output on standard input (CR LF too) and fails unless its
# signature is the pinned one. A first argument --solver does all this for the
# solver's benchmark (zelto-solver-bench, ZELTO_SOLVER_SIGNATURE) instead.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
variable=ZELTO_SIGNATURE bench=zelto-bench
if [ "${1:-}" = --solver ]; then
    variable=ZELTO_SOLVER_SIGNATURE bench=zelto-solver-bench
    shift
fi
pinned=$(sed -n "s/^set($variable \(.*\))$/\1/p" CMakeLists.txt)
[ "${1:-}" = --pinned ] && { echo "$pinned"; exit 0; }
if [ "${1:-}" = --verify ]; then
    signature=$(tr -d '\r' | sed -n 's/^Signature: //p')
    echo "${2:-Other} benchmark signature: $signature (pinned: $pinned)"
    [ "$signature" = "$pinned" ]
    exit
fi
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target "$bench" >/dev/null
signature=$("build/$bench" | sed -n 's/^Signature: //p')
echo "$signature"
if [ "${1:-}" = --check ]; then
    [ "$signature" = "$pinned" ] || { echo "signature $signature differs from the pinned $pinned" >&2; exit 1; }
fi
