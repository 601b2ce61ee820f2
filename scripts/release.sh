#!/usr/bin/env bash
# Builds the release packages into dist/:
#   zelto-VERSION-linux-x86_64.tar.gz  a static pbrain-zelto and zelto-review for any
#                                      x86-64 Linux, README.txt, LICENSE and docs/,
#                                      in one folder
#   zelto-VERSION-windows-x64.zip      the static pbrain-zelto.exe and zelto-review.exe,
#                                      README.txt and LICENSE.txt (CR LF), at the top
#                                      of the zip
#   SHA256SUMS                         over both
# VERSION is the one of project() in CMakeLists.txt. The builds live in
# build-release/. Before anything goes to dist/, both packages are unpacked
# into empty folders and the unpacked engines pass the protocol tests from an
# empty working folder (the .exe under wine), the unpacked reviewers give their
# verdicts on a known game, and the benchmarks of both builds give the
# signature that CMakeLists.txt pins; any failure stops the script and leaves
# no dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
ZELTO_APT_OPTIONS=--no-install-recommends zelto_install_deps cmake g++ make nlohmann-json3-dev libgtest-dev \
    libminizip-dev zlib1g-dev python3 \
    python3-pytest file g++-mingw-w64-x86-64-posix wine
export ZELTO_LOGS="$PWD/build-release/logs"

version="$(sed -n 's/^project(zelto VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)"
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "no x.y.z version in CMakeLists.txt's project()"; exit 1; }
linux="zelto-$version-linux-x86_64" windows="zelto-$version-windows-x64"
out="$PWD/build-release"
# Every file in the packages carries the time of the last commit, so the same
# sources pack to the same bytes.
stamp="$(git log -1 --format=%ct 2>/dev/null || date +%s)"

build_linux() {
    # The reviewer reads zip archives with minizip and zlib, linked in statically.
    cmake -S . -B "$out/linux" -DCMAKE_BUILD_TYPE=Release -DZELTO_TESTS=ON -DZELTO_ZIP=ON \
        -DCMAKE_EXE_LINKER_FLAGS=-static
    cmake --build "$out/linux" -j"$(nproc)" --target pbrain-zelto zelto-review zelto-bench
    local exe
    for exe in "$out/linux/pbrain-zelto" "$out/linux/zelto-review"; do
        file "$exe"
        if ! grep -q 'statically linked' <<<"$(file "$exe")" || ldd "$exe"; then
            echo "$exe is not statically linked"
            return 1
        fi
    done
}

build_windows() {
    # The default configure: the cross build finds no GoogleTest and must say so
    # once. Debian has no minizip for Windows: that reviewer reads no zip.
    cmake --no-warn-unused-cli -S . -B "$out/windows" -DCMAKE_BUILD_TYPE=Release -DZELTO_ZIP=OFF \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake | tee "$out/windows-configure.log"
    [ "$(grep -c 'GoogleTest not found' "$out/windows-configure.log")" -eq 1 ]
    cmake --build "$out/windows" -j"$(nproc)" --target pbrain-zelto zelto-review zelto-bench
    # Only DLLs that every Windows has: no C++ runtime or thread library beside them.
    local dlls exe
    for exe in pbrain-zelto.exe zelto-review.exe; do
        dlls="$(x86_64-w64-mingw32-objdump -p "$out/windows/$exe" | sed -n 's/.*DLL Name: //p')"
        echo "$exe imports: $dlls"
        if grep -viE '^(kernel32|msvcrt|ucrtbase|user32|advapi32|api-ms-win-.*)\.dll$' <<<"$dlls"; then
            echo "$exe needs the DLLs above beside it"
            return 1
        fi
    done
}

# The benchmark signature test of the Linux build; the Windows build's
# benchmark must print the same signature under wine.
check_signatures() {
    ctest --test-dir "$out/linux" -R '^bench-signature$' --no-tests=error -V
    zelto_start_wine
    wine "$out/windows/zelto-bench.exe" bench/positions.txt | bash scripts/signature.sh --verify Windows
}

# Lays out both packages in build-release/stage and packs them there.
pack() {
    local stage="$out/stage"
    rm -rf "$stage"
    mkdir -p "$stage/$linux" "$stage/$windows"
    strip -o "$stage/$linux/pbrain-zelto" "$out/linux/pbrain-zelto"
    strip -o "$stage/$linux/zelto-review" "$out/linux/zelto-review"
    cp "$out/linux/README.txt" LICENSE "$stage/$linux/"
    cp -r docs "$stage/$linux/docs"
    cp "$out/windows/pbrain-zelto.exe" "$out/windows/zelto-review.exe" "$stage/$windows/"
    sed 's/$/\r/' "$out/windows/README.txt" >"$stage/$windows/README.txt"
    sed 's/$/\r/' LICENSE >"$stage/$windows/LICENSE.txt"
    tar --sort=name --mtime="@$stamp" --owner=0 --group=0 --numeric-owner -C "$stage" \
        -cf - "$linux" | gzip -9n >"$stage/$linux.tar.gz"
    /usr/bin/python3 - "$stage/$windows" "$stage/$windows.zip" "$stamp" <<'EOF'
import os, sys, time, zipfile
folder, target, stamp = sys.argv[1], sys.argv[2], int(sys.argv[3])
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for name in sorted(os.listdir(folder)):
        info = zipfile.ZipInfo(name, time.gmtime(stamp)[:6])
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
        with open(os.path.join(folder, name), "rb") as f:
            z.writestr(info, f.read())
EOF
    tar -tvzf "$stage/$linux.tar.gz"
    /usr/bin/python3 -m zipfile -l "$stage/$windows.zip"
}

# Unpacks both packages into empty folders and runs the protocol tests against
# the unpacked engines from an empty working folder, which must stay empty.
check_unpacked() {
    local check="$out/check"
    rm -rf "$check"
    mkdir -p "$check/linux" "$check/windows" "$check/cwd"
    tar -xzf "$out/stage/$linux.tar.gz" -C "$check/linux"
    (cd "$check/windows" && /usr/bin/python3 -m zipfile -e "$out/stage/$windows.zip" .)
    local tests="$PWD/tests/protocol"
    (cd "$check/cwd" && ZELTO_ENGINE="$check/linux/$linux/pbrain-zelto" \
        /usr/bin/python3 -m pytest -q -p no:cacheprovider "$tests")
    zelto_start_wine
    (cd "$check/cwd" && ZELTO_ENGINE_CMD="wine $check/windows/pbrain-zelto.exe" \
        /usr/bin/python3 -m pytest -q -p no:cacheprovider "$tests")
    [ -z "$(ls -A "$check/cwd")" ]
    # The reviewers: Black's open three left alone by White (Black then wins by
    # fours), then by Black, as
    # a file and (the Linux one) inside a zip; the Windows one says to unpack it.
    printf '(;FF[4]GM[4]SZ[15];B[hh];W[aa];B[ih];W[ab];B[jh];W[ac];B[oo])\n' >"$check/open-three.sgf"
    (cd "$check" && /usr/bin/python3 -m zipfile -c open-three.zip open-three.sgf)
    local verdicts="move 6, white 0,2: allowed-win move 7, black 14,14: missed-win"
    local reviewer record
    for reviewer in "$check/linux/$linux/zelto-review" "wine $check/windows/zelto-review.exe"; do
        for record in "$check/open-three.sgf" "$check/open-three.zip"; do
            [[ "$reviewer" == wine* && "$record" == *.zip ]] && continue
            local got
            got="$(cd "$check/cwd" && $reviewer "$record" | tr -d '\r' |
                   sed -n 's/^[^ ]*#1, \(move [0-9]*, [a-z]* [0-9,]*: [a-z-]*\):.*/\1/p' | paste -sd ' ')"
            echo "$reviewer $record: $got"
            [ "$got" = "$verdicts" ]
        done
    done
    local refused
    refused="$(cd "$check/cwd" && wine "$check/windows/zelto-review.exe" "$check/open-three.zip" 2>&1 |
               tr -d '\r' || true)"
    echo "$refused"
    grep -q 'this build reads no zip archive: unpack it and give the folder' <<<"$refused"
}

publish() {
    rm -rf dist
    mkdir dist
    cp "$out/stage/$linux.tar.gz" "$out/stage/$windows.zip" dist/
    (cd dist && sha256sum "$linux.tar.gz" "$windows.zip" >SHA256SUMS && sha256sum -c SHA256SUMS)
}

rm -rf dist "$ZELTO_LOGS"
zelto_step "building the static Linux engine, the reviewer and the benchmark" build_linux
zelto_step "building the static Windows engine, the reviewer and the benchmark" build_windows
zelto_step "checking the benchmark signature of both builds (the Windows one under wine)" \
    check_signatures
zelto_step "packing $linux.tar.gz and $windows.zip" pack
zelto_step "running the protocol tests and the reviewers from the unpacked packages (the .exe under wine)" \
    check_unpacked
echo "protocol tests, Linux and Windows: $(grep -E '^[0-9]+ passed' "$ZELTO_STEP_LOG" | paste -sd ';')"
zelto_step "writing dist/ and its SHA256SUMS" publish
stat -c '%n: %s bytes' dist/*
