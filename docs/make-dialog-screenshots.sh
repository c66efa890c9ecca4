#!/bin/bash
# Makes docs/options-general.png, options-core.png, options-plugins.png, options-database.png,
# options-names.png,
# codecs-info.png and console.png, and the options pages under the German pack
# (options-*-de.png): orvel runs on a copy of the built program folder under a virtual X server,
# and each window is opened through the Program menu as a user would.
# Needs xvfb-run, xdotool and ImageMagick's import; run after a debug build.
. "$(dirname "$0")/screenshot_session.sh"
cd "$work/program"
orvel=""
trap 'kill "$orvel" 2>/dev/null || true; rm -rf "$work"' EXIT

# Starts orvel with the locale $1, which chooses its language pack, on settings as a first start
# writes them (the codecs recognised by their file name).
start_orvel() {
    rm -f Settings.ini FileList.m3u
    printf '[Settings]\r\nOptionsInitialPage=0\r\n[Settings.Core]\r\nThreadsCount=2\r\n' >Settings.ini
    printf '[Settings.Database]\r\nFindByFileName=1\r\n' >>Settings.ini
    LANG=$1 LC_ALL=$1 ./orvel >/dev/null 2>&1 &
    orvel=$!
    main=$(find_window "orvel 0.3.1.*")
    sleep 1
}
stop_orvel() {
    kill "$orvel" 2>/dev/null || true
    wait "$orvel" 2>/dev/null || true
}

start_orvel C.UTF-8

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

# Every page of the options dialog of title $1, each saved as options-PAGE$2.png.
option_pages() {
    local options
    options=$(program_command o "$1")
    for page in general core plugins database names; do
        shot "$options" "options-$page$2.png"
        # The page tree has the focus: the next page is one row down.
        xdotool key Down
        sleep 0.5
    done
    xdotool key Escape
    sleep 0.5
}
option_pages "Options" ""

codecs=$(program_command v "Coders and decoders info")
shot "$codecs" codecs-info.png
xdotool key Escape
sleep 0.5

console=$(program_command c "Console")
shot "$console" console.png
xdotool key Escape
sleep 0.5
stop_orvel

start_orvel de_DE.UTF-8
option_pages "Optionen" "-de"
stop_orvel
