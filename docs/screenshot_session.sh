# Sourced by the screenshot scripts: runs the script again under a virtual X server, copies the
# built program folder (the script's first argument, else the debug build's) to "$work/program"
# and starts openbox, when installed, to draw the window frames. Sets `here`, `program` and
# `work` (the folder goes when the script ends) and defines find_window.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
program=${1:-"$here/../build/debug/program"}

if [[ -z "${DISPLAY:-}" || "${ORVEL_SCREENSHOT_INNER:-}" != 1 ]]; then
    exec env ORVEL_SCREENSHOT_INNER=1 xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$program" "$work/program"

if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    sleep 1
fi

# The id of the first visible window whose title is $1, waiting up to ten seconds for it.
find_window() {
    local id=""
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [[ -n "$id" ]] &&
            break
        sleep 0.2
    done
    [[ -n "$id" ]] || { echo "no window \"$1\"" >&2; exit 1; }
    echo "$id"
}
