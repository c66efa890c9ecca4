#!/bin/bash
# Makes docs/options-general.png, options-core.png, options-plugins.png, options-database.png,
# options-names.png,
# codecs-info.png and console.png: orvel runs on a copy of the built program folder under a
# virtual X server, and each window is opened through the Program menu as a user would.
# Needs xvfb-run, xdotool and ImageMagick's import; run after a debug build.
. "$(dirname "$0")/screenshot_session.sh"
rm -f "$work/program/Settings.ini" "$work/program/FileList.m3u"
printf '[Settings]\r\nOptionsInitialPage=0\r\n[Settings.Core]\r\nThreadsCount=2\r\n%s\r\n%s\r\n' \
    '[Settings.General]' 'NamePattern=<albumartist>/<album>/[<disc>-]<track> - <title>' \
    >"$work/program/Settings.ini"
cd "$work/program"
./orvel >/dev/null 2>&1 &
orvel=$!
trap 'kill "$orvel" 2>/dev/null || true; rm -rf "$work"' EXIT

main=$(find_window "orvel 0.3.1.*")
sleep 1

# Gives a window the keyboard, with or without a window manager.
focus() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true
}

# Opens a command of the Program menu by its access key and answers the window it opens.
program_command() {
    focus "$main"
    xdotool key --clearmodifiers alt+p
    sleep 0.5
    xdotool key "$1"
    local id
    id=$(find_window "$2")
    focus "$id"
    sleep 0.7
    echo "$id"
}
shot() { import -window "$1" -frame "$here/$2"; }

options=$(program_command o "Options")
for page in general core plugins database names; do
    shot "$options" "options-$page.png"
    # The page tree has the focus: the next page is one row down.
    xdotool key Down
    sleep 0.5
done
xdotool key Escape
sleep 0.5

codecs=$(program_command v "Coders and decoders info")
shot "$codecs" codecs-info.png
xdotool key Escape
sleep 0.5

console=$(program_command c "Console")
shot "$console" console.png
