#!/usr/bin/env bash
# Runs the protocol tests many times against the Release build (build/) and the
# ThreadSanitizer build (build-tsan/) with two busy loops beside them, the way a
# shared 2-core machine loads them, and counts the failures of each test.
#   bash scripts/stress.sh [RUNS] [BUILD...]    15 runs of build and build-tsan by default
# A build directory that does not exist yet is configured as test.sh and
# sanitize.sh configure it. After every run no engine of the build may be left
# running. Exits non-zero if any run failed or left a process behind.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
runs="${1:-15}"
shift || true
builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(build build-tsan)
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "usage: bash scripts/stress.sh [RUNS] [BUILD...]" >&2; exit 2; }
zelto_install_deps cmake nlohmann-json3-dev g++ make libgtest-dev python3 python3-pytest

for dir in "${builds[@]}"; do
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        case "$dir" in
        *tsan*) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELTO_SANITIZE=thread -DZELTO_ASSERTS=ON) ;;
        *asan*) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELTO_SANITIZE=address,undefined -DZELTO_ASSERTS=ON) ;;
        *) options=(-DCMAKE_BUILD_TYPE=Release) ;;
        esac
        cmake -S . -B "$dir" "${options[@]}" -DZELTO_TESTS=ON >/dev/null
    fi
    echo "building $dir ..."
    cmake --build "$dir" -j"$(nproc)" >/dev/null
done

# Two busy loops, ended by their process ids whatever happens.
hogs=()
stop_hogs() { [ ${#hogs[@]} -eq 0 ] || kill "${hogs[@]}" 2>/dev/null || true; }
trap stop_hogs EXIT
for _ in 1 2; do
    sh -c 'while :; do :; done' &
    hogs+=($!)
done
echo "busy loops: ${hogs[*]}"

logs="build/stress"
rm -rf "$logs"
mkdir -p "$logs"
status=0
for dir in "${builds[@]}"; do
    failed_runs=0 left_runs=0 longest=0
    for run in $(seq "$runs"); do
        log="$logs/$(basename "$dir")-$run.log"
        started=$(date +%s%N)
        ctest --test-dir "$dir" -R '^protocol$' --output-on-failure -V >"$log" 2>&1 || failed_runs=$((failed_runs + 1))
        ms=$((($(date +%s%N) - started) / 1000000))
        [ "$ms" -le "$longest" ] || longest=$ms
        # pgrep -f matches the engine's full path, so other builds' engines do not count.
        if pgrep -f "$PWD/$dir/pbrain-zelto" >"$log.left"; then
            left_runs=$((left_runs + 1))
            pkill -f "$PWD/$dir/pbrain-zelto" || true
        fi
        printf '%s run %d: %s, %d ms\n' "$dir" "$run" \
            "$(grep -oE '[0-9]+ (passed|failed)[^=]*' "$log" | tail -n 1 || echo '?')" "$ms"
    done
    echo "== $dir: $failed_runs of $runs runs failed, $left_runs left an engine running, longest run $longest ms"
    # pytest's short summary names each failing test: count them over all runs.
    for log in "$logs/$(basename "$dir")"-*.log; do
        sed -n 's/^.*FAILED \(.*\) - .*$/\1/p; s/^.*FAILED \([^ ]*\)$/\1/p' "$log" | sort -u
    done | sort | uniq -c | sed 's/^ *\([0-9]*\) \(.*\)$/   \2 failed \1 times/'
    [ "$failed_runs" -eq 0 ] && [ "$left_runs" -eq 0 ] || status=1
done
exit "$status"
