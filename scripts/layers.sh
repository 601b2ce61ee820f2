#!/usr/bin/env bash
# Checks that every dependency in src/ points down the layers listed below,
# lowest first, so there can be no cycle: each file includes only its own
# header and headers of lower layers, and each object file of the engine
# refers only to symbols that its own or a lower layer defines. Reads the
# objects of a build, build/ unless another directory is given.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(platform reply board lines searchboard search fours threats turn solver record archive review report protocol main)
build="${1:-build}"
declare -A rank owner
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done
status=0

for file in src/*.h src/*.cpp; do
    name="$(basename "${file%.*}")"
    if [ -z "${rank[$name]:-}" ]; then
        echo "$file: in no layer"; status=1; continue
    fi
    for dep in $(sed -n 's/^#include "\(.*\)\.h".*/\1/p' "$file"); do
        if [ -z "${rank[$dep]:-}" ] || [ "${rank[$dep]}" -gt "${rank[$name]}" ]; then
            echo "$file includes $dep.h from a layer above"; status=1
        fi
    done
done

objects=()
for name in "${layers[@]}"; do
    object="$(find "$build/CMakeFiles" -path "*/src/$name.cpp.o" | head -n 1)"
    [ -n "$object" ] || { echo "no object for src/$name.cpp in $build"; exit 1; }
    objects+=("$name:$object")
    # Strong definitions only: inline functions of a header are defined weakly
    # in every object that includes it, and the include check covers them.
    for symbol in $(nm --defined-only --extern-only "$object" | awk '$2 ~ /^[TDBRC]$/ {print $3}'); do
        owner[$symbol]=$name
    done
done
for entry in "${objects[@]}"; do
    name="${entry%%:*}"
    for symbol in $(nm --undefined-only "${entry#*:}" | awk '{print $2}'); do
        above="${owner[$symbol]:-}"
        if [ -n "$above" ] && [ "${rank[$above]}" -gt "${rank[$name]}" ]; then
            echo "src/$name.cpp uses $(echo "$symbol" | c++filt) of src/$above.cpp"; status=1
        fi
    done
done
[ "$status" -eq 0 ] && echo "layers: every dependency of src/ points down"
exit "$status"
