#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program, driven through the X server as a user drives it: record the sound
# server's 440 Hz input on track 1, seeing it live in the track (its level, then the
# silence text once the input is muted), and save it; load a 1000 Hz tone on track 2,
# play it to the end, and hear it on the sink's monitor.
# usage: record_play_test.sh PIKOTA WAVPROBE   (under xvfb-run, with PULSE_SERVER set to a server
# that scripts/sound-server started)
. "$(dirname "$0")/common.sh"
pikota=$1
probe=$2
on_failure() {
    import -window root "$work/screen.png" 2>/dev/null && cp "$work/screen.png" "${E2E_SCREENSHOT:-/tmp/pikota-e2e-failure.png}"
}
within() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }

"$probe" tone "$work/tone.wav" 1000 1.5
# A home of its own: no recording left behind by another run is reported at the start.
own_home
"$pikota" &
started pid
win=$(timeout 20 xdotool search --sync --name '^ピコタ$' | head -1) || fail "no window"
sleep 1
# Controls are placed in the client area below the menu bar.
height=$(xdotool getwindowgeometry --shell "$win" | sed -n 's/^HEIGHT=//p')
menu=$((height - 573))
row=$((8 + 104 + 12 + menu)) # the buttons' row, through their middle
press() { xdotool mousemove --window "$win" "$1" "$2" click 1; }

# A button's picture or text is black (or nearly, where smoothed) while it is
# enabled, and grey while it is disabled.
enabled() {
    import -window "$win" -crop "41x25+$(($1 - 20))+$((row - 12))" "$work/button.png" 2>/dev/null
    [ "$(convert "$work/button.png" -fuzz 25% -fill white +opaque black -format '%[fx:mean<1]' info:)" = 1 ]
}
all_enabled() {
    for x in 68 136 255 298 341 444 512 631 674 717; do enabled "$x" || return 1; done
}
# Waits for a dialog to come up (the program shows two windows), or with "gone" to go: a slow build
# (the sanitizers) may take more than a second to answer a click.
dialog() {
    local shown
    for _ in $(seq 1 100); do
        shown=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
        if [ "${1:-}" = gone ]; then [ "$shown" -le 1 ] && return 0; else [ "$shown" -ge 2 ] && return 0; fi
        sleep 0.2
    done
    fail "the dialog did not ${1:-come up}"
}

# The live view of track 1: the rows of its box that hold its blue, and whether the time label has a
# second line (a warning under the time).
box_rows() {
    import -window "$win" -crop "345x41+24+$((64 + menu))" +repage "$work/box.png" 2>/dev/null
    convert "$work/box.png" -fill black +opaque "rgb(0,0,255)" -fill white -opaque "rgb(0,0,255)" \
        -scale 1x41! -threshold 0 txt:- | grep -c "#FFFFFF" || true
}
warned() {
    import -window "$win" -crop "329x14+40+$((41 + menu))" "$work/second-line.png" 2>/dev/null
    [ "$(convert "$work/second-line.png" -fuzz 30% -fill white +opaque black -format '%[fx:mean<1]' info:)" = 1 ]
}

# Track 1: 録音, OK on the ready message, ●; the input is seen while it is recorded, and once muted the
# label says so within 4 s; ■, a name, Enter.
press 136 "$row"
dialog
xdotool key Return
dialog gone
press 212 "$row"
started=$(date +%s.%N)
sleep 1.5
rows=$(box_rows)
warned && fail "the label warns about a good input"
pactl set-source-mute pikota_in 1
muted=$(date +%s.%N)
said=
for _ in $(seq 1 40); do
    sleep 0.1
    if warned; then said=$(date +%s.%N); break; fi
done
pactl set-source-mute pikota_in 0
[ -n "$said" ] || fail "the label does not say that the muted input is silent"
after=$(awk -v a="$muted" -v b="$said" 'BEGIN { print b - a }')
echo "silence said $after s after the mute"
within "$after" 3 4 || fail "the silence was said $after s after the mute, not within 3 to 4 s"
sleep 0.5
press 341 "$row"
stopped=$(date +%s.%N)
dialog
sleep 0.3
xdotool type --delay 10 "$work/recorded.wav"
# The file name's completion list may still be up and take the first Enter.
for _ in $(seq 1 10); do
    xdotool key Return
    sleep 1
    [ -s "$work/recorded.wav" ] && break
done
[ -s "$work/recorded.wav" ] || fail "the recording was not saved"
read -r rate channels seconds loud hz peak < <("$probe" info "$work/recorded.wav")
echo "recorded: $rate Hz, $channels channels, $seconds s, $loud s loud, $hz Hz, peak $peak"
took=$(awk -v a="$started" -v b="$stopped" 'BEGIN { print b - a }')
within "$seconds" "$(awk -v t="$took" 'BEGIN { print t - 0.3 }')" "$(awk -v t="$took" 'BEGIN { print t + 0.3 }')" || fail "recorded $seconds s in $took s"
within "$hz" 430 450 || fail "recorded $hz Hz, not 440 Hz"
# The live view showed the input at its level, on the scale of the saved drawing: the tone's band is
# 2 peak / 65536 of the box's 40 rows, and one row more.
band=$(awk -v p="$peak" 'BEGIN { print 2 * p / 65536 * 40 + 1 }')
echo "live view: $rows rows of blue, $band expected"
within "$rows" "$(awk -v b="$band" 'BEGIN { print b - 2 }')" "$(awk -v b="$band" 'BEGIN { print b + 2 }')" ||
    fail "the live view showed $rows rows, not $band"

# Track 2: 読み込み, the tone, ▶, and listen on the monitor of the output.
press 444 "$row"
dialog
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 10 "$work/tone.wav"
loaded=
for _ in $(seq 1 10); do
    xdotool key Return
    sleep 1
    if enabled 631; then loaded=1; break; fi
done
[ -n "$loaded" ] || fail "track 2's play button is not enabled after the load"
# By name (pipewire-pulse takes @DEFAULT_MONITOR@ for the default source), with a short buffer
# (by default parecord holds about 2 s, which is lost when it is stopped).
parecord --device=pikota_out.monitor --latency-msec=20 --file-format=wav "$work/heard.wav" &
started rec
sleep 0.5
press 631 "$row"
sleep 0.5
enabled 255 && fail "track 1's play button stays enabled during the playback"
# Every button comes back by itself when the sound has ended.
back=
for _ in $(seq 1 40); do
    if all_enabled; then back=1; break; fi
    sleep 0.25
done
[ -n "$back" ] || fail "the buttons did not come back after the playback"
sleep 0.5
kill "$rec"; wait "$rec" 2>/dev/null || true
rec=
read -r rate channels seconds loud hz _ < <("$probe" info "$work/heard.wav")
echo "heard: $loud s loud at $hz Hz"
within "$loud" 1.3 1.7 || fail "heard $loud s of sound, not 1.5 s"
within "$hz" 980 1020 || fail "heard $hz Hz, not 1000 Hz"
echo "PASS"
