// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;
class QWidget;

namespace pikota::toolkit {

// The application's title, "ピコタ".
QString AppTitle();
// The folder that holds the program's executable, without a trailing separator.
QString AppPath();

struct Version {
    int major, minor, revision;
};
Version AppVersion();

// Sets up the application object as the program needs it: its name, version and
// desktop entry; Qt's own Japanese translation, so that standard dialogs and the
// command line's messages speak Japanese; and Qt's own settings (the file dialog's
// last folder) kept under the program's name, ~/.config/pikota, rather than in
// the QtProject.conf that every Qt program shares.
// It also shapes the heap for a program that is left open all day (see ShapeHeap).
void InitApplication(QCoreApplication& app);

// Buffers of 128 KiB and more (a long file's reading and overview, the device's rings, the pictures) are
// mapped for themselves and so given back to the system when freed. Left to itself, glibc raises that
// threshold to the largest buffer freed so far and from then on keeps such buffers in its heap, where
// the small allocations made between them pin the freed space for good.
void ShapeHeap();
// Gives the allocator's free pages back to the system; called where a file is let go and where its
// overview is finished.
void ReleaseFreeMemory();

// Shows a top-level window centred on its screen: placed before it shows, and placed again once it is
// on the screen, when the window manager has put its frame around it, so that the whole frame is centred.
// On a screen too small for it (a scaled laptop screen), its top-left corner stays on the screen, so
// that its title bar and menu bar can be reached. Where the window system places windows itself
// (Wayland), the compositor's place stands.
void ShowCentred(QWidget& window);

// Starts a program detached, without a shell; returns at once. False if it could not be started.
bool StartProgram(const QString& program, const QStringList& arguments = {});

} // namespace pikota::toolkit
