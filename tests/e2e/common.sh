# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# What every end-to-end script stands on; each sources it first. It gives:
# - $work, a private folder, removed at the end;
# - started NAME, which notes the last background process ($!) under a variable of that name, to be
#   killed at the end, last started first killed; set NAME empty once it has ended;
# - fail MESSAGE, which says why on standard error, runs the script's own on_failure (a screenshot, its
#   logs) if it has one, and ends the test;
# - own_home, which gives the program a home of its own, so that nothing of another run (a recording left
#   behind, a dialog's last folder) is seen.
set -euo pipefail
work=$(mktemp -d)
processes=()
cleanup() {
    local i name
    for ((i = ${#processes[@]} - 1; i >= 0; i--)); do
        name=${processes[i]}
        [ -n "${!name:-}" ] && kill "${!name}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
started() {
    printf -v "$1" '%s' "$!"
    processes+=("$1")
}
fail() {
    echo "FAIL: $*" >&2
    if declare -F on_failure >/dev/null; then on_failure || true; fi
    exit 1
}
own_home() {
    export HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
}
