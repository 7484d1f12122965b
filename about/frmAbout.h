// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/toolkit/Application.h"

#include <QDialog>

namespace pikota::toolkit {
class ArtPicture;
}
class QLabel;
class QPushButton;

// The About dialog: title, version, description and a warning about copying,
// with a button that starts the system information viewer.
//
// One instance serves the whole run (see HelpCommands.h). Show() loads it when it
// is not loaded, which sets every text afresh; closing it, by OK, Enter, Esc or
// the close box, unloads it. It is a window of its own, without an owner and
// without a taskbar entry, and while it is open it keeps the program running.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    frmAbout();
    ~frmAbout() override;

    // Loads the dialog if needed, shows it modeless and brings it to the front.
    void Show();
    bool isLoaded() const { return loaded_; }

    pikota::toolkit::ArtPicture* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

    // Starts the system information viewer, or says that there is none.
    void StartSysInfo();

public slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void Unload();

    bool loaded_ = false;
};

// The version label's text: "ﾊﾞｰｼﾞｮﾝ " and major.minor.revision in plain decimals.
QString VersionText(const pikota::toolkit::Version& version);
