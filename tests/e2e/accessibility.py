#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads ピコタ's window as a screen reader does, through the AT-SPI tree, and drives it with keys.

    accessibility.py SECONDS_OF_TRACK_1

Every focusable control of the main window and of the About dialog has a name; the scope box has a name and a
description; each waveform box is a slider named for its track, whose value (the cursor, in seconds) follows
the keys. Keys are typed with xdotool into the focused window. Exits 1 with what it found wrong."""
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

LENGTH = float(sys.argv[1])
problems = []


def app(name="pikota", seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            child = desktop.get_child_at_index(i)
            if child is not None and child.get_name() == name:
                return child
        time.sleep(0.2)
    sys.exit(f"the application {name} is not in the accessibility tree")


def nodes(node):
    yield node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from nodes(child)


def showing(node):
    states = node.get_state_set()
    return states.contains(Atspi.StateType.SHOWING)


def check_named(window):
    for node in nodes(window):
        states = node.get_state_set()
        if states.contains(Atspi.StateType.FOCUSABLE) and showing(node) and not node.get_name():
            problems.append(f"a focusable {node.get_role_name()} without a name in {window.get_name()}")


def find(root, name):
    for node in nodes(root):
        if node.get_name() == name:
            return node
    problems.append(f"nothing named {name}")
    return None


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "50", *keys], check=True)
    time.sleep(0.4)


def value(node):
    return node.get_current_value()


pikota = app()
window = pikota.get_child_at_index(0)
check_named(window)

scope = find(window, "拡大した波形")
if scope is not None and not scope.get_description():
    problems.append("the scope box has no description")

for name in ("音声１の波形", "音声２の波形"):
    box = find(window, name)
    if box is None:
        continue
    if box.get_role() != Atspi.Role.SLIDER:
        problems.append(f"{name} is a {box.get_role_name()}, not a slider")
    if "Value" not in box.get_interfaces():
        problems.append(f"{name} has no value")

track1 = find(window, "音声１の波形")
if track1 is not None and "Value" in track1.get_interfaces():
    track1.grab_focus()
    time.sleep(0.4)
    maximum = track1.get_maximum_value()
    if abs(maximum - LENGTH) > 0.01:
        problems.append(f"音声１の波形 goes up to {maximum} s, not {LENGTH} s")
    key("End")
    if abs(value(track1) - LENGTH) > 0.01:
        problems.append(f"after End, 音声１の波形 says {value(track1)} s, not {LENGTH} s")
    key("Page_Up")
    if abs(value(track1) - 0.9 * LENGTH) > 0.01:
        problems.append(f"after Page Up, 音声１の波形 says {value(track1)} s, not {0.9 * LENGTH} s")
    before = value(track1)
    key("Left")
    if not 0 < before - value(track1) < 0.01 * LENGTH:
        problems.append(f"after ←, 音声１の波形 says {value(track1)} s, from {before} s")
    key("Home")
    if value(track1) != 0:
        problems.append(f"after Home, 音声１の波形 says {value(track1)} s")

# The About dialog, from the Help menu by its access keys.
key("alt+h", "a")
about = None
end = time.time() + 10
while about is None and time.time() < end:
    for i in range(1, pikota.get_child_count()):
        about = pikota.get_child_at_index(i) or about
    time.sleep(0.2)
if about is None:
    problems.append("the About dialog does not show in the tree: " + ", ".join(
        f"{pikota.get_child_at_index(i).get_role_name()} {pikota.get_child_at_index(i).get_name()}"
        for i in range(pikota.get_child_count())))
else:
    check_named(about)

for problem in problems:
    print("FAIL:", problem, file=sys.stderr)
sys.exit(1 if problems else 0)
