# Debian packages the build, the tests and the demo need, and the routine that installs the
# missing ones (as root) or says how to (otherwise). Sourced by the README's commands.
TERVANE_PACKAGES=(
    cmake ninja-build g++ python3
    googletest
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    wine64
    xvfb x11-apps imagemagick xdotool
    openssl nsis osslsigncode
)

ensure_packages() {
    local missing=() package
    for package in "${TERVANE_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "These Debian packages are missing. Install them as root, then run this again:"
        echo "  apt-get update && apt-get install -y ${missing[*]}"
        return 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -q &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}
