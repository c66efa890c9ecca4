# Sourced by the benchmark scripts that run orvel-batch, from the source tree's root: sets
# `batch` to the orvel-batch of the build folder given, building it and its program folder
# when it is missing.
#   batch_binary BUILD      (build/release, build/debug...)
batch_binary() {
    if [ ! -x "$1/program/orvel-batch" ]; then
        [ -d "$1" ] || cmake --preset "$(basename "$1")" >/dev/null
        cmake --build "$1" --target orvel-batch orvel_program_folder >/dev/null
    fi
    batch="$PWD/$1/program/orvel-batch"
}
