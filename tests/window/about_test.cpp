// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The About dialog and the Help menu's commands, on an offscreen display.
#include "about/HelpCommands.h"
#include "about/frmAbout.h"
#include "main/frmMain.h"
#include "platform/registry/Registry.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/PictureButton.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>

namespace toolkit = pikota::toolkit;

using toolkit::MsgAnswer;
using toolkit::MsgRequest;

namespace {

const QString kNoSysInfo = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

// Each test gets a folder of its own for fake programs and their logs, a PATH
// with only that folder, and message boxes answered and recorded here.
class About : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", bin().toLocal8Bit());
        QDir(dir_.path()).mkpath(QStringLiteral("bin"));
        toolkit::setMsgBoxSeam([this](const MsgRequest& request) {
            messages_.push_back(request);
            return request.buttons == toolkit::MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::OK;
        });
    }
    void TearDown() override {
        if (frmAbout* about = AboutInstance())
            about->close();
        toolkit::setMsgBoxSeam({});
        qputenv("PATH", savedPath_);
        pikota::registry::ClearTestValues();
    }

    QString bin() const { return dir_.path() + QStringLiteral("/bin"); }
    QString logPath() const { return dir_.path() + QStringLiteral("/started.log"); }

    // A program that notes each start, with its arguments, in the log.
    QString fakeProgram(const QString& folder, const QString& name) {
        QDir().mkpath(folder);
        const QString path = folder + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral("#!/bin/sh\necho \"%1 $#|$1\" >> '%2'\n").arg(name, logPath()).toLocal8Bit());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // The log once it has `count` lines; the programs run on their own, so wait
    // for them (the bound only keeps a broken start from hanging the test).
    QStringList startsLogged(int count) {
        QStringList lines;
        for (int i = 0; i < 500 && lines.size() < count; ++i) {
            QTest::qWait(20);
            QFile file(logPath());
            if (file.open(QIODevice::ReadOnly))
                lines = QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        }
        return lines;
    }

    static frmAbout* openAbout() {
        ShowAbout();
        frmAbout* dialog = AboutInstance();
        EXPECT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        return dialog;
    }

    QTemporaryDir dir_;
    QByteArray savedPath_;
    std::vector<MsgRequest> messages_;
};

TEST_F(About, ShowsItsTextsAndLayout) {
    frmAbout* dialog = openAbout();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ピコタのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(dialog->lblTitle->text(), QStringLiteral("ピコタ"));
    EXPECT_EQ(dialog->lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0.0"));
    EXPECT_EQ(VersionText({2, 10, 3}), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.10.3"));

    const QStringList description = dialog->lblDescription->text().split(u'\n');
    ASSERT_EQ(description.size(), 4);
    EXPECT_TRUE(description[0].startsWith(QStringLiteral("\u3000このアプリケーションは")));
    EXPECT_TRUE(description[1].startsWith(QStringLiteral("\u3000Windowsの標準")));
    EXPECT_TRUE(description[2].isEmpty());
    EXPECT_TRUE(description[3].contains(QStringLiteral("ピコタ開発チーム")));
    const QString disclaimer = dialog->lblDisclaimer->text();
    EXPECT_EQ(disclaimer.split(u'\n').size(), 3);
    EXPECT_TRUE(disclaimer.contains(QStringLiteral("複製")));
    EXPECT_EQ(dialog->cmdSysInfo->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)..."));

    // A fixed tool window of 382 by 249 pixels: no taskbar entry, no minimize or maximize.
    EXPECT_EQ(dialog->size(), QSize(382, 249));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_EQ(dialog->windowType(), Qt::Tool);
    EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->parentWidget(), nullptr);
    EXPECT_EQ(dialog->lblDescription->geometry(), QRect(70, 75, 259, 78));
    EXPECT_EQ(dialog->cmdOK->geometry(), QRect(283, 183, 92, 23));
    EXPECT_EQ(dialog->picIcon->size(), QSize(32, 32));

    // The Gothic font Debian has stands in for the Windows one.
    const QFontInfo text(dialog->lblDescription->font());
    EXPECT_TRUE(text.family() == QStringLiteral("IPAPGothic") ||
                text.family() == QStringLiteral("ＭＳ Ｐゴシック"))
        << text.family().toStdString();
    EXPECT_DOUBLE_EQ(dialog->lblDescription->font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(dialog->lblTitle->font().pointSizeF(), 11.25);

    EXPECT_TRUE(dialog->cmdOK->isDefault());
    EXPECT_EQ(dialog->focusWidget(), dialog->cmdOK);
}

TEST_F(About, DrawsAnEtchedSeparator) {
    const QImage image = openAbout()->grab().toImage();
    const QColor background = image.pixelColor(200, 161);
    // Grey from x 6 and white from x 7, both to x 376 (twips 90, 105 and 5654).
    for (int x : {6, 7, 100, 376}) {
        EXPECT_EQ(image.pixelColor(x, 163), QColor(128, 128, 128)) << x;
        if (x > 6) {
            EXPECT_EQ(image.pixelColor(x, 164), QColor(Qt::white)) << x;
            EXPECT_EQ(image.pixelColor(x, 165), QColor(Qt::white)) << x;
        }
    }
    EXPECT_EQ(image.pixelColor(100, 162), background);
    EXPECT_EQ(image.pixelColor(100, 166), background);
    EXPECT_EQ(image.pixelColor(377, 163), background);
    EXPECT_EQ(image.pixelColor(6, 164), background);
}

TEST_F(About, OkEnterAndEscCloseAndReopeningRebuilds) {
    for (const auto close : {+[](frmAbout* d) { QTest::mouseClick(d->cmdOK, Qt::LeftButton); },
                             +[](frmAbout* d) { QTest::keyClick(d, Qt::Key_Escape); },
                             +[](frmAbout* d) { QTest::keyClick(d->cmdOK, Qt::Key_Return); },
                             +[](frmAbout* d) { d->close(); }}) {
        frmAbout* dialog = openAbout();
        QTest::mouseClick(dialog->cmdSysInfo, Qt::LeftButton); // takes the focus and the default
        dialog->lblVersion->setText(QStringLiteral("spoilt"));
        dialog->setWindowTitle(QStringLiteral("spoilt"));
        close(dialog);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_FALSE(dialog->isLoaded());

        EXPECT_EQ(openAbout(), dialog) << "one instance for the whole run";
        EXPECT_EQ(dialog->lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0.0"));
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ピコタのﾊﾞｰｼﾞｮﾝ情報"));
        EXPECT_EQ(dialog->focusWidget(), dialog->cmdOK);
        EXPECT_TRUE(dialog->cmdOK->isDefault());
        dialog->close();
    }
}

TEST_F(About, ShowingAnOpenDialogRebuildsNothing) {
    frmAbout* dialog = openAbout();
    dialog->lblVersion->setText(QStringLiteral("kept"));
    ShowAbout();
    EXPECT_EQ(AboutInstance(), dialog);
    EXPECT_EQ(dialog->lblVersion->text(), QStringLiteral("kept"));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(About, SysInfoStartsTheViewerEachTime) {
    const QString viewer = fakeProgram(bin(), QStringLiteral("hardinfo"));
    frmAbout* dialog = openAbout();
    QTest::mouseClick(dialog->cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(startsLogged(1), QStringList{QStringLiteral("hardinfo 0|")});
    QTest::mouseClick(dialog->cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(startsLogged(2).size(), 2) << "a second click starts a second viewer";
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(About, SysInfoWithoutViewerSaysSo) {
    frmAbout* dialog = openAbout();
    QTest::mouseClick(dialog->cmdSysInfo, Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, kNoSysInfo);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("ピコタ"));
    EXPECT_EQ(messages_[0].buttons, toolkit::MsgButtons::OK);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0.0"));

    // A viewer path that is not a program to start ends the same way.
    pikota::registry::SetTestValue(pikota::registry::HKEY_LOCAL_MACHINE,
                                   "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                                   pikota::registry::REG_SZ, {'/', 'n', 'o', 0});
    dialog->StartSysInfo();
    pikota::registry::SetTestValue(pikota::registry::HKEY_LOCAL_MACHINE,
                                   "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", 3, {1, 2});
    dialog->StartSysInfo();
    ASSERT_EQ(messages_.size(), 3u);
    EXPECT_EQ(messages_[2].text, kNoSysInfo);
}

TEST_F(About, SysInfoFromTheToolsFolderOnlyWhenTheViewerIsThere) {
    const QString tools = dir_.path() + QStringLiteral("/tools");
    QDir().mkpath(tools);
    const QByteArray folder = tools.toLocal8Bit();
    std::vector<unsigned char> value(folder.begin(), folder.end());
    value.push_back(0);
    pikota::registry::SetTestValue(pikota::registry::HKEY_LOCAL_MACHINE,
                                   "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                                   pikota::registry::REG_SZ, value);
    frmAbout* dialog = openAbout();
    dialog->StartSysInfo();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, kNoSysInfo);

    fakeProgram(tools, QStringLiteral("MSINFO32.EXE"));
    dialog->StartSysInfo();
    EXPECT_EQ(startsLogged(1), QStringList{QStringLiteral("MSINFO32.EXE 0|")});
    EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(About, HelpOpensReadmeBesideTheProgramAsOneArgument) {
    fakeProgram(bin(), QStringLiteral("xdg-open"));
    const QString folder = dir_.path() + QStringLiteral("/Program Files/it's \"here\"; ls");
    OpenHelpFile(folder);
    OpenHelpFile(folder);
    const QStringList starts = startsLogged(2);
    ASSERT_EQ(starts.size(), 2) << "each choice starts a viewer";
    EXPECT_EQ(starts[0], QStringLiteral("xdg-open 1|") + folder + QStringLiteral("/readme.txt"));
    EXPECT_EQ(HelpFilePath(QStringLiteral("/")), QStringLiteral("/readme.txt"));
    EXPECT_TRUE(messages_.empty());

    QFile::remove(bin() + QStringLiteral("/xdg-open"));
    OpenHelpFile(folder);
    ASSERT_EQ(messages_.size(), 1u) << "no viewer to start is said, not ignored";
    EXPECT_EQ(messages_[0].icon, toolkit::MsgIcon::Critical);
}

// The program's life: run the event loop as the program does and see when it ends.
TEST_F(About, OpenAboutOutlivesTheMainWindow) {
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    frmMain* window = nullptr;
    bool survived = false;
    QTimer::singleShot(0, [&] {
        window = new frmMain;
        window->mnuHelpAbout->trigger();
        window->close(); // answered Yes
        QTimer::singleShot(0, [&] {
            frmAbout* dialog = AboutInstance();
            survived = !window->isVisible() && dialog->isVisible() && lastClosed.isEmpty();
            dialog->cmdOK->click();
        });
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(2); });
    watchdog.start(30000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(survived) << "the program ended with the main window";
    EXPECT_EQ(lastClosed.size(), 1);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, QStringLiteral("ピコタを終了しますか？"));
    delete window;
}

TEST_F(About, ClosedAboutDoesNotHoldTheProgram) {
    frmMain* window = nullptr;
    QTimer::singleShot(0, [&] {
        window = new frmMain;
        window->mnuHelpAbout->trigger();
        AboutInstance()->close();
        window->mnuHelpAbout->trigger();
        QTest::keyClick(AboutInstance(), Qt::Key_Escape);
        window->close();
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(2); });
    watchdog.start(30000);
    EXPECT_EQ(QApplication::exec(), 0);
    delete window;
}

} // namespace

int main(int argc, char** argv) {
    // The offscreen platform cannot raise windows and says so on every showing.
    static const QtMessageHandler standard = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.contains(QStringLiteral("does not support raise()")))
            standard(type, context, message);
    });
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
