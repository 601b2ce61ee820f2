#!/usr/bin/env bash
# Formats the C++ sources of src/, tests/, bench/, fuzz/, tools/ and web/ by .clang-format
# with clang-format-14. With --check it changes nothing and fails, naming each
# place, when a file is not formatted; CI runs the check.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zelto_install_deps clang-format-14
shopt -s nullglob  # a directory may have no headers
files=(src/*.h src/*.cpp tests/*.h tests/*.cpp bench/*.cpp fuzz/*.cpp tools/*.h tools/*.cpp web/*.cpp)
if [ "${1:-}" = --check ]; then
    clang-format-14 --dry-run --Werror "${files[@]}"
    echo "format: all ${#files[@]} files formatted"
else
    clang-format-14 -i "${files[@]}"
fi
