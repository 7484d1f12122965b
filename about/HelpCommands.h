// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/toolkit/Application.h"

#include <QString>

class frmAbout;

// The folder of the help file: the program's own folder when readme.txt is there
// (as in the build tree), else the folder where an installation puts it, found
// from the program's folder, so that a package and a staged install both work.
QString HelpFolder(const QString& programFolder = pikota::toolkit::AppPath());

// The Help menu's two commands.
// Opens the help file, readme.txt in `folder`, in the desktop's text viewer.
// Nothing checks that the file is there; a viewer that cannot be started is
// reported in a message box.
void OpenHelpFile(const QString& folder = HelpFolder());

// The help file's path in `folder`.
QString HelpFilePath(const QString& folder);

// Shows the About dialog, modeless and without an owner; when it is open already
// it comes to the front. The one instance lives until the program ends.
void ShowAbout();

// The instance, once ShowAbout has made it; null before.
frmAbout* AboutInstance();
