#!/bin/bash
# Makes docs/first-start.png: orvel as a new user first meets it, on a copy of the built program
# folder without a Settings.ini and with a home of its own (so ~/Music/orvel is not yours).
# Needs xvfb-run, ffmpeg (its x11grab device) and ImageMagick's convert; run after a debug build.
. "$(dirname "$0")/screenshot_session.sh"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
rm -f "$work/program/Settings.ini" "$work/program/FileList.m3u"
cd "$work/program"
./orvel >/dev/null 2>&1 &
orvel=$!
# No window manager is needed to find the window: without one it opens at the top left.
sleep 4
ffmpeg -v error -f x11grab -video_size 1280x900 -i "$DISPLAY" -frames:v 1 "$work/screen.png"
convert "$work/screen.png" -trim +repage "$here/first-start.png"
kill "$orvel"
wait "$orvel" 2>/dev/null || true
