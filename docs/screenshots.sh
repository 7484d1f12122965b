#!/usr/bin/env bash
# Retakes docs/about.png and docs/main-with-about.png from the built program on a
# private X server. Needs xvfb, xdotool and imagemagick; with openbox installed
# the windows get title bars. Run from the repository: bash docs/screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

if [ "${PIKOTA_IN_XVFB:-}" != 1 ]; then
  PIKOTA_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
fi

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
