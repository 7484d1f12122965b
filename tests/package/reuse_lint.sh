#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every file of the sources says under which licence it is, as REUSE asks:
#   reuse_lint.sh SOURCE_DIR
# A copy of the sources is linted, never what a build left in the tree: in a git checkout the files git
# tracks and those it would (ignored ones left out); elsewhere (a release tarball, a Debian source
# package, a machine without git) the tree without its build folders, which hold a CMakeCache.txt.
set -euo pipefail
source=$(cd "$1" && pwd -P)
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
if command -v git >/dev/null && [ "$(git -C "$source" rev-parse --show-toplevel 2>/dev/null)" = "$source" ]; then
  # Tracked files deleted in the work tree are listed too; tar passes over them.
  git -C "$source" ls-files -z --cached --others --exclude-standard |
    tar -C "$source" --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -C "$copy" -xf -
else
  tar -C "$source" --exclude=.git --exclude-tag-all=CMakeCache.txt -cf - . | tar -C "$copy" -xf -
fi
cd "$copy"
reuse lint
