#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads ピコタ's window as a screen reader does, through the AT-SPI tree, and drives it with keys (xdotool):
every focusable control of the main window and of the About dialog has a name; the scope box has a
description; each waveform box is a slider named for its track, whose value, the cursor in seconds, follows
the keys.    accessibility.py SECONDS_OF_TRACK_1"""
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

LENGTH = float(sys.argv[1])
problems = []


def nodes(node):
    yield node
    for child in (node.get_child_at_index(i) for i in range(node.get_child_count())):
        if child is not None:
            yield from nodes(child)


def named(root, name):
    found = [n for n in nodes(root) if n.get_name() == name]
    if not found:
        problems.append(f"nothing named {name}")
    return found[0] if found else None


def check_named(window):
    for node in nodes(window):
        states = node.get_state_set()
        if states.contains(Atspi.StateType.FOCUSABLE) and states.contains(Atspi.StateType.SHOWING):
            if not node.get_name():
                problems.append(f"a focusable {node.get_role_name()} without a name in {window.get_name()}")


def wait_for(find, what):
    end = time.time() + 20
    while time.time() < end:
        if (found := find()) is not None:
            return found
        time.sleep(0.2)
    sys.exit(f"{what} is not in the accessibility tree")


desktop = Atspi.get_desktop(0)
pikota = wait_for(lambda: next((a for a in nodes(desktop) if a.get_name() == "pikota"), None), "pikota")
window = pikota.get_child_at_index(0)
check_named(window)
scope = named(window, "拡大した波形")
if scope is not None and not scope.get_description():
    problems.append("the scope box has no description")
for name in ("音声１の波形", "音声２の波形"):
    box = named(window, name)
    if box is not None and (box.get_role() != Atspi.Role.SLIDER or "Value" not in box.get_interfaces()):
        problems.append(f"{name} is a {box.get_role_name()} without a value, not a slider")

track1 = named(window, "音声１の波形")
if track1 is not None and "Value" in track1.get_interfaces():
    track1.grab_focus()
    if abs(track1.get_maximum_value() - LENGTH) > 0.01:
        problems.append(f"音声１の波形 goes up to {track1.get_maximum_value()} s, not {LENGTH} s")
    for key, expected in (("End", LENGTH), ("Page_Up", 0.9 * LENGTH), ("Home", 0), ("Right", None)):
        subprocess.run(["xdotool", "key", key], check=True)
        time.sleep(0.4)
        value = track1.get_current_value()
        if expected is None and not 0 < value < 0.01 * LENGTH or expected is not None and abs(value - expected) > 0.01:
            problems.append(f"after {key}, 音声１の波形 says {value} s")

subprocess.run(["xdotool", "key", "--delay", "100", "alt+h", "a"], check=True)  # ヘルプ → ピコタについて
check_named(wait_for(lambda: pikota.get_child_at_index(1) if pikota.get_child_count() > 1 else None, "About"))

for problem in problems:
    print("FAIL:", problem, file=sys.stderr)
sys.exit(1 if problems else 0)
