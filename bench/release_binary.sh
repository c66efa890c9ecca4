# Sourced by the benchmark scripts: sets `binary` to the given path, or to the release build of
# the benchmark target named first, building it when it is missing.
#   release_binary TARGET [PATH]
release_binary() {
    here=$(cd "$(dirname "$0")/.." && pwd)
    binary=${2:-$here/build/release/bench/$1}
    if [ ! -x "$binary" ]; then
        cmake --preset release -S "$here" >/dev/null
        cmake --build "$here/build/release" --target "$1" >/dev/null
    fi
}
