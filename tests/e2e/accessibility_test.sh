#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# The window as a screen reader reads it: the real program with a one-second file on track 1, under a
# window manager (openbox), its accessibility tree read through AT-SPI on a private session bus, and
# driven with keys.
#   accessibility_test.sh PIKOTA WAVPROBE      (under xvfb-run)
source "$(dirname "$0")/common.sh"
pikota=$1
wavprobe=$2
own_home
"$wavprobe" tone "$work/second.wav" 440 1 >/dev/null
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
on_failure() {
    [ -n "${E2E_SCREENSHOT:-}" ] && import -window root "$E2E_SCREENSHOT" 2>/dev/null
}
openbox --config-file /dev/null >/dev/null 2>&1 &
started wm
dbus-run-session -- bash -c '
    "$1" "$2" >"$3/pikota.log" 2>&1 &
    program=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^ピコタ$" | head -1)
    xdotool windowactivate --sync "$window"
    "$4/accessibility.py" 1
    result=$?
    kill $program 2>/dev/null
    exit $result' _ "$pikota" "$work/second.wav" "$work" "$(dirname "$0")" 2>"$work/bus.log" ||
    fail "the accessibility tree ($(grep -v dbus-daemon "$work/bus.log"))"
