# Debian packages the build, the tests and the demo need, and the routine that installs the
# missing ones (as root) or says how to (otherwise); the demos' build step. Sourced by the
# README's commands.
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

# build_windows_targets LOG WHAT TARGET...: the packages, then the targets of the Windows tree,
# the output in LOG; on failure its tail and that WHAT could not be built.
build_windows_targets() {
    local log="$1" what="$2"
    shift 2
    ensure_packages || return 1
    mkdir -p "$(dirname "$log")"
    if ! { cmake --preset windows && cmake --build --preset windows -j 2 --target "$@"; } \
            >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$what could not be built (log: $log)."
        return 1
    fi
}
