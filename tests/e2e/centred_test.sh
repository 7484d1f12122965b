#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# The window opens centred on the screen, frame and all, under a window manager that puts a title bar
# around it (openbox). On a screen too small for it, its frame starts at the screen's edge on that axis,
# so that the title bar and the menu bar are on the screen.
# usage: centred_test.sh PIKOTA   (under xvfb-run; QT_SCALE_FACTOR as the test sets it)
. "$(dirname "$0")/common.sh"
pikota=$1

own_home
# The window manager, started again while it has not come up: the first client of a new server is at
# times refused ("Failed to open the display"), and openbox then ends at once.
wm=
for _ in $(seq 50); do
    if [ -z "$wm" ] || ! kill -0 "$wm" 2>/dev/null; then
        openbox --config-file /dev/null >/dev/null 2>&1 &
        started wm
    fi
    sleep 0.1
    kill -0 "$wm" 2>/dev/null && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
done
kill -0 "$wm" 2>/dev/null || fail "openbox does not start"

"$pikota" >/dev/null 2>&1 &
started pid
win=$(timeout 20 xdotool search --sync --onlyvisible --name '^ピコタ$' | head -1) || fail "no window"

# Where the frame stands, once it stops moving. Nothing while the window manager has not yet said how
# wide the frame is (it sets _NET_FRAME_EXTENTS a moment after the window is mapped).
frame() {
    local x y w h left= right= top= bottom=
    eval "$(xwininfo -id "$win" | awk '/Absolute upper-left X/ {print "x=" $NF} /Absolute upper-left Y/ {print "y=" $NF}
        /^  Width/ {print "w=" $NF} /^  Height/ {print "h=" $NF}')"
    read -r left right top bottom < <(xprop -id "$win" _NET_FRAME_EXTENTS | sed -n 's/.*= //; s/,//gp') || true
    [[ "$left$right$top$bottom" =~ ^[0-9]+$ ]] || return 0
    echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}
last=
for _ in $(seq 30); do
    now=$(frame)
    [ -n "$now" ] && [ "$now" = "$last" ] && break
    last=$now
    sleep 0.2
done
[ -n "$last" ] || fail "the window manager gave the window no frame"
read -r fx fy fw fh <<<"$last"
read -r sw sh < <(xwininfo -root | awk '/^  Width/ {w=$NF} /^  Height/ {h=$NF} END {print w, h}')
[ "$fh" -gt "$(awk "BEGIN { print int(600 * ${QT_SCALE_FACTOR:-1}) }")" ] ||
    fail "no title bar around the window: frame $last"
# Centring is made in logical pixels: within half a logical pixel, in device pixels.
slack=$(awk "BEGIN { print int(2 * ${QT_SCALE_FACTOR:-1} - 1) }")
placed() { # frame-start frame-size screen-size: centred, or at the screen's edge when the frame is larger
    if [ "$2" -gt "$3" ]; then
        [ "$1" -eq 0 ]
    else
        local d=$((2 * $1 + $2 - $3))
        [ "${d#-}" -le "$slack" ]
    fi
}
placed "$fx" "$fw" "$sw" && placed "$fy" "$fh" "$sh" || fail "frame $last on a ${sw}x${sh} screen is misplaced"
echo "frame $last placed on ${sw}x${sh}"
