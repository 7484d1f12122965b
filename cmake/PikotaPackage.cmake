# SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, built by scripts/package with CPack: pikota_<version>_<arch>.deb,
# installing under /usr what `cmake --install` installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pikota)
set(CPACK_PACKAGE_VENDOR "ピコタ開発チーム")
set(CPACK_PACKAGE_CONTACT "ピコタ開発チーム <pikota@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-track sound recorder and waveform viewer in Japanese")
set(CPACK_PACKAGE_DESCRIPTION "\
ピコタ (pikota) is a small sound tool with a Japanese interface. One window
holds two tracks side by side. On each track you can record from the default
sound input and save the recording as a WAV file, or load a sound file (WAV,
FLAC, MP3, Ogg Vorbis or Opus, AIFF, CAF and more), and then
play, pause and stop it.

Each track shows its waveform with a position line that moves while it plays;
a scope box below shows 20 ms of the sound at the play position, like an
oscilloscope, and a click into a waveform overlays 20 ms of both tracks.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps; these it needs at run time
# without linking them.
set(PIKOTA_RUNTIME_DEPENDS
  fonts-ipafont-gothic   # Japanese glyphs; without a font every text is boxes
  qt6-translations-l10n  # Qt's own Japanese, for the message boxes and the file dialog
  qt6-qpa-plugins        # Qt's platform plugins (the X11 one is in libqt6gui6, linked)
  qt6-wayland            # Qt's Wayland plugin: without it a desktop with no XWayland cannot start Qt
  hicolor-icon-theme     # the icon theme the program's icons go into
  xdg-utils)             # xdg-open shows the help file
list(JOIN PIKOTA_RUNTIME_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Sound needs a server that speaks PulseAudio's protocol, which libpulse (linked) reaches.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
# The About dialog's system information button starts one of these.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "hardinfo | kinfocenter")
include(CPack)
