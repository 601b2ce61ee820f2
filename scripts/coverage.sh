#!/usr/bin/env bash
# Which functions of the search the unit tests and the benchmark run: builds
# both with g++ --coverage in build-coverage/ (unoptimised, asserts on), runs
# them, and writes every function of src/ with its number of calls to
# build-coverage/functions.txt. Prints the functions of the search layers
# that never ran, and fails when one that carries a rule's name is among them.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zelto_install_deps cmake nlohmann-json3-dev g++ make libgtest-dev lcov
dir=build-coverage

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DZELTO_TESTS=ON -DCMAKE_CXX_FLAGS=--coverage >/dev/null
# The last run's counts go, before the build (which lists the unit tests by
# running them) and after it.
[ -d "$dir" ] && find "$dir" -name "*.gcda" -delete
cmake --build "$dir" -j"$(nproc)" --target zelto_tests zelto-bench >/dev/null
find "$dir" -name "*.gcda" -delete
"$dir/zelto_tests" --gtest_brief=1 | tail -n 1
"$dir/zelto-bench" | tail -n 1
lcov --quiet --capture --directory "$dir" --output-file "$dir/coverage.info" 2>/dev/null

# FNDA:<calls>,<name> per object, summed by file and function, for src/.
awk -F'[:,]' '/^SF:/ {file = $2; sub(/.*\/src\//, "src/", file); src = ($2 ~ /\/src\//)}
              src && /^FNDA:/ {calls[file "\t" $3] += $2}
              END {for (f in calls) print calls[f] "\t" f}' "$dir/coverage.info" |
    c++filt | sort -t$'\t' -k2,3 >"$dir/functions.txt"

rules=(GetAllMove BreakAddMove EvalMoveWay EvalMove EvalMoves DefenseMove RandomMove IsWinWay IsWin
       Is4OpenWay Is4Open CanIWin CanOpponentWin CanI4Open CanOpponent4Open Is2Threat CanI2Threat
       CanOpponent2Threat Is1Threat DefenseMove1Threat CanI1Threat CanOpponent1Threat brain_turn)
status=0
for rule in "${rules[@]}"; do
    calls="$(awk -F'\t' -v f="$rule" '{name = $3; sub(/\(.*/, "", name)} name == f {s += $1; n++}
                                       END {if (n) print s}' "$dir/functions.txt")"
    echo "${calls:-absent} $rule"
    [ "${calls:-0}" -gt 0 ] || status=1
done
echo "functions of the search layers that never ran:"
awk -F'\t' '$1 == 0 && $2 ~ /^src\/(lines|searchboard|search|fours|threats|turn)\./ {print "  " $2 ": " $3}' \
    "$dir/functions.txt"
[ "$status" -eq 0 ] && echo "every function that carries a rule's name ran" ||
    echo "FAILED: a function that carries a rule's name never ran"
exit "$status"
