#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# Retakes docs/main-window.png, docs/two-tracks-loaded.png, docs/recording-live.png,
# docs/about.png and docs/main-with-about.png from the built program on a private X
# server, with a home of its own. Needs xvfb, xdotool, imagemagick, sox and pulseaudio
# (a private server gives the recording its input); with openbox installed the windows
# get title bars. Run from the repository: bash docs/screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

if [ "${PIKOTA_IN_XVFB:-}" != 1 ]; then
  PIKOTA_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
fi

export HOME=/tmp/pikota-docs/home XDG_CONFIG_HOME=/tmp/pikota-docs/config XDG_STATE_HOME=/tmp/pikota-docs/state
mkdir -p "$HOME"

# Two files to load: a fading stereo tone and a swelling 8-bit mono one.
sox -q -n -r 44100 -c 2 -b 16 /tmp/stereo16.wav synth 3 sine 220 fade q 0 3 3
sox -q -n -r 22050 -c 1 -b 8 /tmp/mono8.wav synth 2 sine 330 tremolo 1.5 100
window() { # program arguments... : starts it and waits for its window, whose id it prints
  "$build/bin/pikota" "$@" >/dev/null 2>&1 &
  echo $! >/tmp/pikota-docs/pid
  xdotool search --sync --onlyvisible --name '^ピコタ$' | head -1
}
shot() { # window file : the window's inside, once it has settled
  sleep 1
  import -window "$1" "$2"
  kill "$(cat /tmp/pikota-docs/pid)"
  sleep 0.5
}
shot "$(window)" docs/main-window.png
shot "$(window /tmp/stereo16.wav /tmp/mono8.wav)" docs/two-tracks-loaded.png

# Recording on track 1 from a private server's 440 Hz input, which is muted after 2.5 s: the live
# view and, 3 s later, the label's word about the silence. The recording is left unsaved (the kill
# leaves it in a state folder of its own, removed here).
sound=/tmp/pikota-docs/sound
eval "$(scripts/sound-server start "$sound" pulseaudio)"
recorder=$(XDG_STATE_HOME=/tmp/pikota-docs/recording-state window)
height=$(xdotool getwindowgeometry --shell "$recorder" | sed -n 's/^HEIGHT=//p')
row=$((8 + 104 + 12 + height - 573))
xdotool mousemove --window "$recorder" 128 "$row" click 1
sleep 1
xdotool key Return
sleep 0.5
xdotool mousemove --window "$recorder" 204 "$row" click 1
sleep 2.5
pactl set-source-mute pikota_in 1
sleep 3.8
shot "$recorder" docs/recording-live.png
scripts/sound-server stop "$sound"
rm -rf /tmp/pikota-docs/recording-state

wm=""
if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
fi
"$build/bin/pikota" 2>/dev/null &
program=$!
trap 'kill $program ${wm} 2>/dev/null || true' EXIT

main=$(xdotool search --sync --onlyvisible --name '^ピコタ$' | head -1)
if [ -n "$wm" ]; then
  xdotool windowactivate --sync "$main"
else
  xdotool windowfocus --sync "$main"
fi
xdotool key alt+h
sleep 0.5
xdotool key a
dialog=$(xdotool search --sync --onlyvisible --name 'ﾊﾞｰｼﾞｮﾝ情報' | head -1)
sleep 1
import -window root docs/main-with-about.png
import -frame -window "$dialog" docs/about.png
