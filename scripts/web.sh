#!/usr/bin/env bash
# Zelto in a web browser: the engine compiled to WebAssembly with Debian's
# emscripten, run by the page in web/ inside a Web Worker.
#   bash scripts/web.sh build   builds the site into build-web/site/ (the
#                               WebAssembly benchmark into build-web/cmake/)
#   bash scripts/web.sh         builds it and serves it on http://127.0.0.1:8080/
#                               (PORT=8000 for another port)
#   bash scripts/web.sh test    builds it, checks that the WebAssembly benchmark
#                               under Node.js prints the native signature, and
#                               plays the page in headless Chromium
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
export ZELTO_APT_OPTIONS=--no-install-recommends

case "${1-serve}" in
build)
    zelto_install_deps cmake make nlohmann-json3-dev emscripten node-acorn
    # The JavaScript optimiser of emscripten needs acorn, which Debian installs
    # in a folder that only Debian's own Node.js searches.
    NODE_PATH="$(dirname "$(dpkg -L node-acorn | grep -m1 '/acorn$')")"
    export NODE_PATH
    # The page reads records as text and needs no zip reader.
    emcmake cmake -S . -B build-web/cmake -DCMAKE_BUILD_TYPE=Release -DZELTO_TESTS=OFF \
        -DZELTO_ZIP=OFF >/dev/null
    cmake --build build-web/cmake -j"$(nproc)" --target zelto-web zelto-bench
    rm -rf build-web/site
    mkdir -p build-web/site
    cp web/*.html web/*.css web/*.js build-web/cmake/zelto-web.js build-web/cmake/zelto-web.wasm \
        build-web/site/
    size=$(du -sb build-web/site | cut -f1)
    echo "build-web/site: $size bytes"
    [ "$size" -lt 1000000 ] || { echo "the site must stay under 1 MB" >&2; exit 1; } ;;
serve)
    bash scripts/web.sh build
    zelto_install_deps python3
    echo "Serving Zelto on http://127.0.0.1:${PORT:-8080}/ (Ctrl-C stops)"
    exec python3 -m http.server --bind 127.0.0.1 --directory build-web/site "${PORT:-8080}" ;;
test)
    bash scripts/web.sh build
    # The browser build must decide every benchmark position as the native one.
    native=$(bash scripts/signature.sh)
    wasm=$(node build-web/cmake/zelto-bench.js | sed -n 's/^Signature: //p')
    echo "Benchmark signature: native $native, WebAssembly under Node.js $wasm"
    [ "$wasm" = "$native" ]
    # The browser test serves the site with this script's default mode.
    zelto_install_deps chromium chromium-driver python3-selenium python3-pytest
    /usr/bin/python3 -m pytest -q tests/web ;;
*)
    echo "usage: bash scripts/web.sh [build|test]" >&2
    exit 2 ;;
esac
