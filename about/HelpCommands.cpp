// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/HelpCommands.h"

#include "about/frmAbout.h"
#include "platform/toolkit/MessageBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace toolkit = pikota::toolkit;

namespace {
frmAbout* g_about = nullptr;

void deleteAbout() {
    delete g_about;
    g_about = nullptr;
}
} // namespace

QString HelpFilePath(const QString& folder) { return QDir(folder).filePath(QStringLiteral("readme.txt")); }

QString HelpFolder(const QString& programFolder) {
    if (QFileInfo::exists(HelpFilePath(programFolder)))
        return programFolder;
    return QDir::cleanPath(programFolder + QStringLiteral("/" PIKOTA_HELP_FROM_PROGRAM));
}

void OpenHelpFile(const QString& folder) {
    // The path goes as one argument, so blanks or quotes in the folder stay part of it.
    if (!toolkit::StartProgram(QStringLiteral("xdg-open"), {HelpFilePath(folder)}))
        toolkit::MsgBox(QStringLiteral("テキストを表示するプログラムを起動できませんでした。"),
                        toolkit::MsgButtons::OK, toolkit::MsgIcon::Critical);
}

void ShowAbout() {
    if (!g_about) {
        g_about = new frmAbout;
        // The dialog has no owner to delete it; it goes just before the application.
        qAddPostRoutine(deleteAbout);
    }
    g_about->Show();
}

frmAbout* AboutInstance() { return g_about; }
