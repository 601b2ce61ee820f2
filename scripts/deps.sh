# Installs the Debian packages the build and the tests need, when missing.
# Sourced by run.sh and test.sh with the package list in $ZELTO_PACKAGES.
zelto_install_deps() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    # ZELTO_APT_OPTIONS, e.g. --no-install-recommends, keeps large packages lean.
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq ${ZELTO_APT_OPTIONS-} "${missing[@]}" >/dev/null
}
