#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a build tree with CPack and reads its control fields.
#   package_test.sh CPACK BUILD_DIR VERSION
set -euo pipefail
cpack=$1 build=$2 version=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$cpack" --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb="$out/pikota_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no $deb"; ls "$out"; exit 1; }

fail=0
expect() { # expect FIELD REGEX: the field matches the extended regular expression
  local value
  value=$(dpkg-deb -f "$deb" "$1")
  if ! [[ $value =~ $2 ]]; then
    echo "$1 does not match /$2/: $value"; fail=1
  fi
}
expect Package '^pikota$'
expect Version "^${version}$"
expect Section '^sound$'
expect Maintainer '^.+ <[^ ]+@[^ ]+>$'
# The libraries that the program links, found by dpkg-shlibdeps, with versions.
expect Depends 'libqt6widgets6 \(>= [^)]+\)'
expect Depends 'libsndfile1 \(>= [^)]+\)'
expect Depends 'libpulse0 \(>= [^)]+\)'
# What it needs at run time without linking it.
for p in fonts-ipafont-gothic qt6-translations-l10n qt6-qpa-plugins qt6-wayland xdg-utils hicolor-icon-theme; do
  expect Depends "(^|, )$p(,|$)"
done
expect Description '^two-track sound recorder'
# The program, found where the desktop entry's Exec looks for it.
[[ $(dpkg-deb -c "$deb") =~ \ \./usr/bin/pikota($'\n'|$) ]] || { echo "no /usr/bin/pikota in the package"; fail=1; }
# Debian's own checks: no error and no warning.
root=()
[ "$(id -u)" = 0 ] && root=(--allow-root)
lintian "${root[@]}" --fail-on error,warning "$deb" || { echo "lintian finds errors or warnings"; fail=1; }
exit $fail
