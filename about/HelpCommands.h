#pragma once

#include "platform/toolkit/Application.h"

#include <QString>

class frmAbout;

// The Help menu's two commands.
// Opens the help file, readme.txt in `folder`, in the desktop's text viewer.
// Nothing checks that the file is there; a viewer that cannot be started is
// reported in a message box.
void OpenHelpFile(const QString& folder = pikota::toolkit::AppPath());

// The help file's path in `folder`.
QString HelpFilePath(const QString& folder);

// Shows the About dialog, modeless and without an owner; when it is open already
// it comes to the front. The one instance lives until the program ends.
void ShowAbout();

// The instance, once ShowAbout has made it; null before.
frmAbout* AboutInstance();
