// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What every window test stands on: a real main window whose message boxes and file dialog the test
// answers, on a recording fake of the sound device (or on another device the test sets), with a private
// folder for files.
#include "device/Module1.h"
#include "main/frmMain.h"
#include "platform/toolkit/FileDialog.h"
#include "platform/toolkit/MessageBox.h"
#include "tests/support/FakeSoundService.h"
#include "tests/support/WavBytes.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pikota::test {

using Commands = std::vector<std::string>;

class WindowTest : public ::testing::Test {
protected:
    FakeSoundService device;
    // The device the window talks to: the fake unless a test sets another before SetUp.
    pikota::sound::SoundService* service = &device;
    QTemporaryDir dir;
    // Every message box shown, in turn. Questions take their answers from `answers` in turn, and
    // Yes once none is left.
    std::vector<pikota::toolkit::MsgRequest> messages;
    std::deque<pikota::toolkit::MsgAnswer> answers;
    // Every file dialog shown, in turn; each takes the next of `dialogAnswers` (a path, or nullopt for a
    // cancel), and is cancelled once none is left.
    std::vector<pikota::toolkit::CommonDialog::Request> dialogs;
    std::deque<std::optional<QString>> dialogAnswers;
    std::unique_ptr<frmMain> form;

    void SetUp() override {
        // Recordings, and the ones a crash left behind, are looked for in the test's own folder.
        qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toLocal8Bit());
        SetSoundService(service);
        pikota::toolkit::setMsgBoxSeam([this](const pikota::toolkit::MsgRequest& r) {
            messages.push_back(r);
            if (r.buttons == pikota::toolkit::MsgButtons::OK)
                return pikota::toolkit::MsgAnswer::OK;
            if (answers.empty())
                return pikota::toolkit::MsgAnswer::Yes;
            const auto a = answers.front();
            answers.pop_front();
            return a;
        });
        pikota::toolkit::CommonDialog::setSeam([this](const pikota::toolkit::CommonDialog::Request& r) {
            dialogs.push_back(r);
            std::optional<QString> a;
            if (!dialogAnswers.empty()) {
                a = dialogAnswers.front();
                dialogAnswers.pop_front();
            }
            return a;
        });
        form = std::make_unique<frmMain>();
    }
    void TearDown() override {
        form.reset();
        pikota::toolkit::CommonDialog::setSeam({});
        pikota::toolkit::setMsgBoxSeam({});
        SetSoundService(nullptr);
    }

    // A file of these bytes in the private folder; its full path.
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        WriteFile(path, bytes);
        return path;
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // A click on a Load button whose dialog answers with this path, or is cancelled.
    void load(QPushButton* button, const std::optional<QString>& path) {
        dialogAnswers.push_back(path);
        click(button);
    }
    // The commands sent since the last call.
    Commands take() { return std::exchange(device.commands, {}); }
    // What the fake answers to the position timer's two queries.
    void status(const std::string& position, const std::string& length) {
        device.answers["status wfile position"] = {0, position};
        device.answers["status wfile length"] = {0, length};
    }
};

} // namespace pikota::test
