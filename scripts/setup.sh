#!/usr/bin/env bash
# Installs what orvel needs on Debian 12, builds it, and then installs and starts it ("run") or
# tests it ("test").
set -euo pipefail

mode="${1:-run}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

packages=(
    cmake ninja-build g++ ccache pkg-config
    qt6-base-dev libgl-dev libqt6sql6-sqlite
    libgtest-dev libgmock-dev libbenchmark-dev
    libmediainfo0v5 mediainfo libtag1-dev
    libebur128-dev
    libcue-dev libuchardet-dev libicu-dev
    flac lame vorbis-tools opus-tools wavpack sox ffmpeg
    poppler-utils
    desktop-file-utils parallel python3 dbus-daemon
    dpkg-dev file lintian appstream
    xvfb xauth
    clang libclang-rt-14-dev clang-format
    qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# CI clones into a new folder each time: compiler cache entries keyed on paths relative to the
# clone, not on the folder, serve every later clone.
if [ -n "${CI:-}" ]; then
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi

build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j "$(nproc)"
}

case "$mode" in
run)
    # Only what running needs, installed for this user: the launcher lands in ~/.local/bin and
    # the desktop entry in the application menu; the launcher prepares the user's program folder.
    build desktop
    prefix="${ORVEL_PREFIX:-$HOME/.local}"
    cmake --install build/desktop --prefix "$prefix" >/dev/null
    echo "Installed under $prefix; from now on start orvel from the application menu or as $prefix/bin/orvel"
    exec "$prefix/bin/orvel"
    ;;
test)
    build debug
    if [ -n "${CI:-}" ]; then
        bash scripts/check-format.sh
        python3 scripts/check-includes.py
        # The engine's threads under ThreadSanitizer, the whole suite under AddressSanitizer
        # and UndefinedBehaviorSanitizer, every parser briefly fuzzed on its seeds; the debug
        # run comes last so its summary closes the output.
        build tsan
        ctest --preset tsan
        build asan-ubsan
        ctest --preset asan-ubsan
        bash fuzz/run.sh "${ORVEL_FUZZ_SECONDS:-15}"
        # The Debian package from the desktop build, checked by Debian's tools and unpacked.
        build desktop
        rm -f build/desktop/orvel_*.deb
        cmake --build --preset package
        bash scripts/check-package.sh build/desktop/orvel_*.deb
    fi
    ctest --preset debug
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
