# Helpers that the scripts source: installing the Debian packages they need,
# the wine setup for the Windows engine, and running a long step quietly.
# The package names are Debian 12 "bookworm"'s (clang-14, libclang-rt-14-dev).
# Sourcing it from the checkout's top folder also clears out build folders
# that were made at another path (zelto_forget_moved_builds).

# Installs the given Debian packages that are missing: as root directly,
# otherwise through sudo; without either it stops with the command to run as
# root. ZELTO_APT_OPTIONS, e.g. --no-install-recommends, keeps large packages lean.
zelto_install_deps() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local root=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "zelto: missing Debian packages and no sudo; run as root: apt-get update && apt-get install -y ${ZELTO_APT_OPTIONS:+$ZELTO_APT_OPTIONS }${missing[*]}" >&2
            exit 1
        fi
        root=(sudo)
    fi
    local release
    release="$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME-}")"
    [ "$release" = bookworm ] ||
        echo "zelto: note: these scripts are tested on Debian 12 (bookworm), this is ${release:-not Debian}"
    # A second apt on the machine holds the lock for a while; wait for it.
    local apt=(apt-get -o DPkg::Lock::Timeout=600) log started=$SECONDS
    log="$(mktemp)"
    printf 'installing %s ... ' "${missing[*]}"
    if "${root[@]}" "${apt[@]}" update -qq >"$log" 2>&1; then
        # ZELTO_APT_OPTIONS is a list of options: split on purpose.
        # shellcheck disable=SC2086
        "${root[@]}" "${apt[@]}" install -qq --print-uris ${ZELTO_APT_OPTIONS-} "${missing[@]}" \
            2>/dev/null | awk '{s += $3} END {if (s >= 1e6) printf "%d MB to download ... ", s / 1e6
                                    else if (s) printf "%d kB to download ... ", s / 1e3}'
        # shellcheck disable=SC2086
        if "${root[@]}" env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq \
               ${ZELTO_APT_OPTIONS-} "${missing[@]}" >>"$log" 2>&1; then
            rm -f "$log"
            echo "ok ($((SECONDS - started)) s)"
            return 0
        fi
    fi
    echo "FAILED"
    cat "$log" >&2
    echo "zelto: installing ${missing[*]} failed (log above)" >&2
    rm -f "$log"
    exit 1
}

# Prepares wine for the Windows engine: a prefix of our own (WINEPREFIX, by
# default build-win/wineprefix), no debug channels, and no debugger that would
# print a crash dump on stdout, so a crash shows as a dead engine.
zelto_start_wine() {
    zelto_install_deps wine
    export WINEPREFIX="${WINEPREFIX:-$PWD/build-win/wineprefix}" WINEDEBUG=-all \
           WINEDLLOVERRIDES=winedbg.exe=d
    mkdir -p "$WINEPREFIX"
    # One persistent server for the whole run, so each engine starts in well
    # under a second; the first start also creates the prefix, which takes a
    # while. An already running server (status 2) is used as it is and left running.
    if wineserver -p >/dev/null 2>&1; then
        trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    fi
    wineboot -i >/dev/null 2>&1
}

# zelto_step "doing what" COMMAND [ARGS...]: prints "doing what ..." as the step
# starts and runs the command (a function too) with its output in a log of its
# own under ZELTO_LOGS (build/logs by default), then ends the line with "ok"
# and the time taken. On failure it prints the end of the log and the step's
# name, and exits with the command's status. ZELTO_STEP_LOG names the log of
# the last step, for reading its counts.
zelto_step() {
    local what="$1" started=$SECONDS status=0
    shift
    local logs="${ZELTO_LOGS:-$PWD/build/logs}"
    mkdir -p "$logs"
    ZELTO_STEP_COUNT=$((${ZELTO_STEP_COUNT:-0} + 1))
    ZELTO_STEP_LOG="$logs/$(printf %02d "$ZELTO_STEP_COUNT")-$(echo "$what" | tr -cs 'a-zA-Z0-9' - | sed 's/-$//').log"
    printf '%s ... ' "$what"
    # In the background, so that set -e holds inside a function: a command
    # that is the left side of || would run with it switched off.
    "$@" >"$ZELTO_STEP_LOG" 2>&1 </dev/null &
    wait $! || status=$?
    if [ "$status" -ne 0 ]; then
        echo "FAILED"
        tail -n 200 "$ZELTO_STEP_LOG"
        echo "FAILED: $what (exit status $status; whole log: $ZELTO_STEP_LOG)"
        exit "$status"
    fi
    echo "ok ($((SECONDS - started)) s)"
}

# A build folder copied or moved with the checkout keeps CMake's cache of its
# old path, and CMake then refuses to configure it ("CMakeCache.txt directory
# ... is different"). Such a folder is removed, with one line saying so, so
# that the script builds it afresh. Only the build folders of this checkout
# (build*/, up to two levels down) are looked at.
zelto_forget_moved_builds() {
    local cache dir recorded
    for cache in build*/CMakeCache.txt build*/*/CMakeCache.txt; do
        [ -f "$cache" ] || continue
        dir="$(dirname "$cache")"
        recorded="$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$cache")"
        [ -z "$recorded" ] && continue
        [ "$recorded" = "$(cd "$dir" && pwd)" ] && continue
        [ "$recorded" = "$(cd "$dir" && pwd -P)" ] && continue
        echo "zelto: $dir was built at $recorded; removing it to build it afresh here"
        rm -rf "$dir"
    done
}
zelto_forget_moved_builds
