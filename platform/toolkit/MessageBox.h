// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace pikota::toolkit {

enum class MsgButtons { OK, YesNo };
enum class MsgIcon { None, Critical, Question };
enum class MsgAnswer { OK, Yes, No };

struct MsgRequest {
    QString caption;
    QString text; // as the program wrote it, line breaks as "\r\n"
    MsgButtons buttons;
    MsgIcon icon;
};

// A modal message box captioned with the application's title.
MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, QWidget* parent = nullptr);

// Tests answer message boxes here instead of the user; an empty function restores the real box.
using MsgBoxSeam = std::function<MsgAnswer(const MsgRequest&)>;
void setMsgBoxSeam(MsgBoxSeam seam);

} // namespace pikota::toolkit
