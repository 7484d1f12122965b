#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program on a Wayland desktop, without X: a private headless compositor (sway's headless
# backend, software rendering), the program started with two files, both tracks drawn (blue and red in
# a screenshot of the output), and a clean quit through the window's close and the quit question.
# usage: wayland_test.sh PIKOTA PROBE [SCALE]   (sway, grim, wtype and qt6-wayland installed; PROBE writes
# the tones)
# sway refuses to run as root: as root it runs as the unprivileged user nobody, and the program reaches
# its socket.
. "$(dirname "$0")/common.sh"
pikota=$1
probe=$2
scale=${3:-1}
chmod 755 "$work"
on_failure() {
    [ -f "$work/sway.log" ] && tail -5 "$work/sway.log" >&2
    [ -f "$work/pikota.log" ] && cat "$work/pikota.log" >&2
    [ -n "${WAYLAND_DISPLAY:-}" ] && grim "${E2E_SCREENSHOT:-/tmp/pikota-wayland-failure.png}" 2>/dev/null
}

mkdir -p "$work/run" "$work/client" "$work/home"
chmod 700 "$work/client"
cat >"$work/sway.cfg" <<CFG
output HEADLESS-1 resolution 1024x768 position 0 0 scale $scale
default_border normal
CFG
run=(env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$work/run" WLR_BACKENDS=headless
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman)
if [ "$(id -u)" = 0 ]; then
    chown nobody "$work/run" "$work/sway.cfg"
    chmod 700 "$work/run"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${run[@]}")
fi
"${run[@]}" sway -c "$work/sway.cfg" >"$work/sway.log" 2>&1 &
started sway
socket=
for _ in $(seq 100); do
    socket=$(find "$work/run" -name 'wayland-*' ! -name '*.lock' 2>/dev/null | head -1)
    SWAYSOCK=$(find "$work/run" -name 'sway-ipc.*.sock' 2>/dev/null | head -1)
    [ -n "$socket" ] && [ -n "$SWAYSOCK" ] && break
    sleep 0.1
done
[ -n "$socket" ] && [ -n "$SWAYSOCK" ] || fail "sway did not start"
[ "$(id -u)" = 0 ] && chmod 755 "$work/run"
unset DISPLAY
export WAYLAND_DISPLAY=$socket XDG_RUNTIME_DIR=$work/client SWAYSOCK QT_QPA_PLATFORM=wayland
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_STATE_HOME=$work/home/state

"$probe" tone "$work/one.wav" 440 1
"$probe" tone "$work/two.wav" 1000 1
"$pikota" "$work/one.wav" "$work/two.wav" >"$work/pikota.log" 2>&1 &
started pid
windows() { swaymsg -t get_tree | grep -c '"app_id": "org.example.pikota"' || true; }
for _ in $(seq 100); do
    [ "$(windows)" -ge 1 ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended at start"
    sleep 0.2
done
[ "$(windows)" -ge 1 ] || fail "no window on the Wayland output"
sleep 1

# Both tracks are drawn: track 1's waveform in blue, track 2's in red.
grim "$work/shot.png"
count() { # colour: how many pixels of the screenshot have it
    convert "$work/shot.png" -alpha off -fill black +opaque "$1" -fill white -opaque "$1" \
        -format '%[fx:round(mean*w*h)]' info:
}
blue=$(count "rgb(0,0,255)")
red=$(count "rgb(255,0,0)")
[ "$blue" -gt 1000 ] && [ "$red" -gt 1000 ] || fail "waveforms not drawn: $blue blue and $red red pixels"
[ -n "${WAYLAND_SCREENSHOT:-}" ] && cp "$work/shot.png" "$WAYLAND_SCREENSHOT"

# The compositor closes the window as its close box does; the quit question comes up and takes Enter
# (its default answer, Yes). A virtual keyboard may go before the compositor has read its key, so the
# key is sent again until the program has ended.
swaymsg "[app_id=\"org.example.pikota\"] kill" >/dev/null
# A build with the sanitizers takes seconds to end (the leak check).
for _ in $(seq 60); do
    kill -0 "$pid" 2>/dev/null || break
    if [ "$(windows)" -ge 2 ]; then
        wtype -s 300 -k Return -s 300 || true
    fi
    sleep 0.5
done
if kill -0 "$pid" 2>/dev/null; then
    fail "the program did not end after Yes to the quit question"
fi
status=0
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || fail "the program ended with status $status"
echo "drawn on Wayland ($blue blue and $red red pixels at scale $scale); quit cleanly"
