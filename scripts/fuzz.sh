#!/usr/bin/env bash
# Fuzzes the command loop with libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) for the given number of seconds, 60 by default,
# then the record readers and the reviewer for the second number, 20 by default:
#   scripts/fuzz.sh          the short run that CI makes
#   scripts/fuzz.sh 1800     half an hour of the command loop
#   scripts/fuzz.sh 60 600   ten minutes of the record readers
# Each first replays the committed seeds and past crash inputs (fuzz/seeds and
# fuzz/regressions; fuzz/record-seeds and fuzz/record-regressions), then
# mutates them. New inputs gather in build-fuzz/corpus (record-corpus) and are
# reused by the next run; a crash, a sanitizer report, a wrong reply or
# an input slower than 10 s is saved in build-fuzz/artifacts/ and fails the run.
# The logs are build-fuzz/fuzz.log and record-fuzz.log. To see what the engine
# answers to one input: ZELTO_FUZZ_ECHO=1 build-fuzz/zelto-fuzz FILE
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zelto_install_deps cmake nlohmann-json3-dev make clang-14 libclang-rt-14-dev
seconds="${1:-60}"
record_seconds="${2:-20}"

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZELTO_SANITIZE=address,undefined -DZELTO_FUZZ=ON -DZELTO_ASSERTS=ON -DZELTO_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target zelto-fuzz zelto-record-fuzz
mkdir -p build-fuzz/corpus build-fuzz/record-corpus build-fuzz/artifacts

corpora=(build-fuzz/corpus fuzz/seeds)
[ -d fuzz/regressions ] && corpora+=(fuzz/regressions)
echo "== fuzzing the command loop for ${seconds} s =="
status=0
build-fuzz/zelto-fuzz -max_total_time="$seconds" -dict=fuzz/protocol.dict -max_len=4096 \
    -timeout=10 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
    "${corpora[@]}" >build-fuzz/fuzz.log 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 60 build-fuzz/fuzz.log
    echo "fuzzing failed (status $status); the input is in build-fuzz/artifacts/"
    exit "$status"
fi
grep -E '^#[0-9]+' build-fuzz/fuzz.log | tail -n 1
grep '^stat::' build-fuzz/fuzz.log
# Replaying one input shows what the engine answers to it (documented use).
ZELTO_FUZZ_ECHO=1 build-fuzz/zelto-fuzz fuzz/seeds/game_20 >/dev/null 2>&1

corpora=(build-fuzz/record-corpus fuzz/record-seeds)
[ -d fuzz/record-regressions ] && corpora+=(fuzz/record-regressions)
echo "== fuzzing the record readers for ${record_seconds} s =="
build-fuzz/zelto-record-fuzz -max_total_time="$record_seconds" -dict=fuzz/record.dict \
    -max_len=4096 -timeout=10 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
    "${corpora[@]}" >build-fuzz/record-fuzz.log 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 60 build-fuzz/record-fuzz.log
    echo "fuzzing the record readers failed (status $status); the input is in build-fuzz/artifacts/"
    exit "$status"
fi
# Its count in words, so that the command loop's stat lines above stay the only ones.
sed -n 's/^stat::number_of_executed_units: \(.*\)/record readers: \1 inputs/p' build-fuzz/record-fuzz.log
