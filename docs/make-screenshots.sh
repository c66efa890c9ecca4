#!/bin/bash
# Makes docs/main-window.png, docs/main-window-after-run.png, docs/job-control.png, docs/main-menu.png and docs/about.png: orvel
# runs on a copy of the built program folder under a virtual X server, with a few generated
# sources in its list.
# Needs xvfb-run, xdotool, ImageMagick's import, sox and flac (openbox, when installed, draws
# the window frames); run after a debug build.
. "$(dirname "$0")/screenshot_session.sh"
mkdir "$work/Music"
for name in "01 Overture" "02 Morning Song" "03 The Long Road Home" "04 Interlude"; do
    sox -n -r 44100 -c 2 -b 16 "$work/Music/$name.wav" synth 40 sine 440 vol 0.3
    flac -s -f -o "$work/Music/$name.flac" "$work/Music/$name.wav"
    rm "$work/Music/$name.wav"
done
sox -n -r 48000 -c 2 -b 24 "$work/Music/05 Live at the Hall.wav" synth 30 sine 330 vol 0.3
# A FLAC cut short in its audio: it is planned like the others, and its decoder fails.
head -c 60000 "$work/Music/01 Overture.flac" >"$work/Music/06 Damaged Download.flac"
for file in "$work"/Music/*; do printf '%s\r\n' "$file"; done >"$work/program/FileList.m3u"
printf '[Settings]\r\nCoderIndex=1\r\n[Settings.Core]\r\nThreadsCount=2\r\n' \
    >"$work/program/Settings.ini"
cd "$work/program"
./orvel >/dev/null 2>&1 &
orvel=$!
window=$(find_window "orvel 0.3.1.*")
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
sleep 1
# The window with its frame, as it is on the screen: windows over it (the job control
# window) are in the picture too.
shot() { import -window "$window" -frame -screen "$1"; }

# Enter presses Start: the list is planned and the conversion starts.
xdotool key Return
find_window "Job Control" >/dev/null
sleep 1.5
shot "$here/job-control.png"

# When the run has ended the job control window is gone and one message names the damaged
# file; the list, wider, says what became of each file.
while [[ -n $(xdotool search --name "Job Control" 2>/dev/null) ]]; do sleep 0.5; done
error=$(find_window "Error")
xdotool windowactivate --sync "$error" >/dev/null 2>&1 || true
xdotool key Return
sleep 0.5
xdotool mousemove --window "$window" 60 52 click 1 mousemove 400 300
sleep 0.5
shot "$here/main-window.png"

# The List menu open over the window, reached by its access key.
xdotool key --clearmodifiers alt+l
sleep 0.7
shot "$here/main-menu.png"
xdotool key Escape
sleep 0.5

# The About box, from the Help menu.
xdotool key --clearmodifiers alt+h
sleep 0.5
xdotool key a
about=""
for _ in $(seq 50); do
    about=$(xdotool search --onlyvisible --name "^About\$" 2>/dev/null | head -1) && [[ -n "$about" ]] && break
    sleep 0.2
done
sleep 0.7
import -window "$about" -frame "$here/about.png"
xdotool key Return
sleep 0.5

# The list after the run, in a window wide enough for its status column.
xdotool mousemove --window "$window" 400 300 click 1 mousemove 400 500
xdotool windowmove "$window" 0 0
xdotool windowsize "$window" 1180 640
sleep 1
shot "$here/main-window-after-run.png"

kill "$orvel"
wait "$orvel" 2>/dev/null || true
