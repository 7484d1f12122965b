// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/MessageBox.h"

#include "platform/toolkit/Application.h"

#include <QMessageBox>

namespace pikota::toolkit {

namespace {
MsgBoxSeam& seam() {
    static MsgBoxSeam instance;
    return instance;
}
} // namespace

void setMsgBoxSeam(MsgBoxSeam s) { seam() = std::move(s); }

MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, QWidget* parent) {
    const MsgRequest request{AppTitle(), text, buttons, icon};
    if (seam())
        return seam()(request);

    QMessageBox box(parent);
    box.setWindowTitle(request.caption);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int result = box.exec();
    if (buttons == MsgButtons::OK)
        return MsgAnswer::OK;
    return result == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

} // namespace pikota::toolkit
