#!/usr/bin/env bash
# The real program, driven through the X server as a user drives it: record 3 s of
# the sound server's 440 Hz input on track 1 and save it; load a 1000 Hz tone on
# track 2, play it to the end, and hear it on the sink's monitor.
# usage: record_play_test.sh PIKOTA WAVPROBE   (under xvfb-run, with PULSE_SERVER set)
set -euo pipefail
pikota=$1
probe=$2
work=$(mktemp -d)
pid=
rec=
cleanup() {
    [ -n "$rec" ] && kill "$rec" 2>/dev/null || true
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    import -window root "$work/screen.png" 2>/dev/null && cp "$work/screen.png" "${E2E_SCREENSHOT:-/tmp/pikota-e2e-failure.png}" || true
    exit 1
}
within() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }

"$probe" tone "$work/tone.wav" 1000 1.5
"$pikota" &
pid=$!
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
# A message box or file dialog is a window of its own: wait until one is up (or gone again) instead of
# for a fixed time, which a slow build (sanitizers) overruns.
windows() { xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l; }
main_only=$(windows)
wait_dialog() {
    for _ in $(seq 1 100); do
        [ "$(windows)" -gt "$main_only" ] && { sleep 0.3; return 0; }
        sleep 0.1
    done
    fail "no $1"
}
wait_no_dialog() {
    for _ in $(seq 1 100); do
        [ "$(windows)" -le "$main_only" ] && return 0
        sleep 0.1
    done
    fail "$1 stays up"
}

# Track 1: 録音, OK on the ready message, ●, three seconds, ■, a name, Enter.
press 136 "$row"
wait_dialog "ready message"
xdotool key Return
wait_no_dialog "the ready message"
press 212 "$row"
sleep 3
press 341 "$row"
wait_dialog "save dialog"
xdotool type --delay 10 "$work/recorded.wav"
# The file name's completion list may still be up and take the first Enter.
for _ in $(seq 1 10); do
    xdotool key Return
    sleep 1
    [ -s "$work/recorded.wav" ] && break
done
[ -s "$work/recorded.wav" ] || fail "the recording was not saved"
read -r rate channels seconds loud hz < <("$probe" info "$work/recorded.wav")
echo "recorded: $rate Hz, $channels channels, $seconds s, $loud s loud, $hz Hz"
within "$seconds" 2.7 3.3 || fail "recorded $seconds s, not 3 s"
within "$hz" 430 450 || fail "recorded $hz Hz, not 440 Hz"

# Track 2: 読み込み, the tone, ▶, and listen on the monitor of the output.
press 444 "$row"
wait_dialog "open dialog"
xdotool key ctrl+a
xdotool type --delay 10 "$work/tone.wav"
loaded=
for _ in $(seq 1 10); do
    xdotool key Return
    sleep 1
    if enabled 631; then loaded=1; break; fi
done
[ -n "$loaded" ] || fail "track 2's play button is not enabled after the load"
parecord --device="$(pactl get-default-sink).monitor" --file-format=wav "$work/heard.wav" &
rec=$!
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
read -r rate channels seconds loud hz < <("$probe" info "$work/heard.wav")
echo "heard: $loud s loud at $hz Hz"
within "$loud" 1.3 1.7 || fail "heard $loud s of sound, not 1.5 s"
within "$hz" 980 1020 || fail "heard $hz Hz, not 1000 Hz"
echo "PASS"
