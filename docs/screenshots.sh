#!/usr/bin/env bash
# Retakes docs/main-window.png, docs/two-tracks-loaded.png, docs/about.png and
# docs/main-with-about.png from the built program on a private X server, with a home
# of its own. Needs xvfb, xdotool, imagemagick and sox; with openbox installed the
# windows get title bars. Run from the repository: bash docs/screenshots.sh [build-dir]
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
