#!/usr/bin/env bash
# The cost of a node, counted rather than timed: runs the benchmark (Release,
# in build/, built if needed) under callgrind and prints its total
# instructions, its nodes, the instructions per node, and a table of the
# functions that execute them, each with its share and its instructions per
# node. The count does not depend on the machine's load, so two builds compare
# exactly. With an argument, runs that benchmark binary instead of build/'s.
# The run takes about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
bench="${1:-}"
if [ -z "$bench" ]; then
    [ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j"$(nproc)" --target zelto-bench >/dev/null
    bench=build/zelto-bench
fi
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" "$bench" >"$out/bench.txt" 2>"$out/valgrind.txt"
nodes=$(sed -n 's/^Nodes searched: //p' "$out/bench.txt")
signature=$(sed -n 's/^Signature: //p' "$out/bench.txt")
# Self cost of every function; callgrind_annotate's lines read
# "1,234 (12.34%)  file:function [binary]".
callgrind_annotate --inclusive=no --threshold=99.5 "$out/callgrind.out" |
    awk -v nodes="$nodes" -v signature="$signature" '
        /PROGRAM TOTALS/ { gsub(",", "", $1); total = $1; next }
        total && /^ *[0-9,]+ +\( *[0-9.]+%\) +/ {
            ir = $1; gsub(",", "", ir)
            name = $0
            sub(/^ *[0-9,]+ +\( *[0-9.]+%\) +/, "", name)
            sub(/ \[[^]]*\]$/, "", name)   # the binary
            sub(/^[^:]*:/, "", name)       # the source file, ??? without debug information
            sub(/ \[clone [^]]*\]/, "", name)
            # Drop argument lists and template arguments, innermost first.
            while (gsub(/\([^()]*\)/, "", name) || gsub(/<[^<>]*>/, "", name)) {}
            sub(/^.* /, "", name)          # a return type left in front
            sub(/^::/, "", name)           # an anonymous namespace
            sub(/\x27[0-9]+$/, "", name)   # a recursion level
            if (!(name in cost)) order[++n] = name
            cost[name] += ir
        }
        END {
            printf "Instructions: %.0f\nNodes: %.0f\nInstructions per node: %.1f\nSignature: %s\n\n",
                   total, nodes, total / nodes, signature
            printf "| %-40s | %6s | %6s |\n", "function", "share", "/node"
            printf "|%s|%s|%s|\n", "------------------------------------------", "--------", "--------"
            for (i = 1; i <= n; i++)
                printf "| %-40s | %5.1f%% | %6.1f |\n", order[i], 100 * cost[order[i]] / total,
                       cost[order[i]] / nodes
        }'
