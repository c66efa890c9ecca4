#!/usr/bin/env bash
# orvel-batch's bash completion against a real orvel-batch: options from its --help, coders and
# the chosen coder's presets from its --list-coders, escaped so that names with spaces stay one
# word, and nothing on the line run while completing.
# Usage: batch_completion_test.sh COMPLETION ORVEL-BATCH
set -uo pipefail
completion=$1
batch=$2
# shellcheck source=/dev/null
source "$completion"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Completes the last word of the line given as words; prints the candidates one a line.
complete_line()
{
    COMP_WORDS=("$batch" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _orvel_batch
    printf '%s\n' "${COMPREPLY[@]}"
}

expect()
{
    local what=$1 wanted=$2 got
    shift 2
    # Taken whole first: "| grep -q" may close the pipe before all candidates are written, and
    # with pipefail the writer's SIGPIPE failed the case though the candidate was there.
    got=$(complete_line "$@")
    if ! grep -qxF -- "$wanted" <<<"$got"; then
        echo "FAIL: $what: no candidate '$wanted' for: $*" >&2
        sed 's/^/  got: /' <<<"$got" >&2
        failures=$((failures + 1))
    fi
}

expect "options from --help" "--coder" --co
expect "an option named only in a description" "--flat" --fl
expect "coders, escaped" 'LAME\ MP3' --coder ""
expect "coders matching the typed start" 'Ogg\ Vorbis' --coder Ogg
expect "a coder typed in quotes" 'Ogg\ Vorbis' --coder '"Ogg V'
expect "the chosen coder's presets" 'VBR\ V2\ \(~190\ kbps\)' --coder 'LAME\ MP3' --preset ""
mkdir "$work/a folder"
expect "folders after --output" "$work/a folder" --output "$work/a"

complete_line --coder "\$(touch $work/ran)" --preset "" >/dev/null
if [ -e "$work/ran" ]; then
    echo "FAIL: completing ran a command substitution on the line" >&2
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "batch completion: all cases passed"
exit "$failures"
