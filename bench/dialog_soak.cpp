// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_dialogs: the window's memory over a long session of loads through the real file dialog, each one
// answered as a user would, by typing the file's name and pressing Enter: resident memory after 20 loads
// and after 200. The window keeps one dialog for its life, so the second is within 1 MiB of the first.
// Run it under xvfb-run -a: the dialog's windows are then real ones.
#include "bench/ProcessStatus.h"
#include "device/Module1.h"
#include "main/frmMain.h"
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "tests/support/WavBytes.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // On the screen's own platform under xvfb-run, where the dialog's windows are real ones.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    const auto service = pikota::sound::makeSoundService(std::make_shared<pikota::sound::VirtualEngine>());
    SetSoundService(service.get());
    // Two folders of a few files, taken in turn, as a user goes between them.
    QDir(dir.path()).mkpath(QStringLiteral("one"));
    QDir(dir.path()).mkpath(QStringLiteral("two"));
    const QString files[] = {dir.filePath(QStringLiteral("one/a.wav")),
                             dir.filePath(QStringLiteral("two/b.wav"))};
    for (const QString& file : files)
        for (int i = 0; i < 10; ++i)
            pikota::test::WriteFile(i == 0 ? file : file + QString::number(i) + QStringLiteral(".wav"),
                                    pikota::test::Pcm16(2, 44100, std::vector<std::int16_t>(8820, 1000)));

    frmMain form;
    int loads = 0;
    // The dialog is answered once it has been up for a while (its folder listed): the name typed, then
    // accepted.
    QTimer answer;
    int up = 0;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || ++up < 20)
            return;
        up = 0;
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        edit->clear();
        QTest::keyClicks(edit, files[loads % 2]);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    answer.start(5);
    long after20 = 0;
    for (loads = 0; loads < 200; ++loads) {
        form.cmdRoad1->click();
        if (loads + 1 == 20)
            after20 = pikota::test::StatusKiB("VmRSS");
    }
    const long after200 = pikota::test::StatusKiB("VmRSS");
    std::printf(
        "resident memory after 20 loads through the file dialog: %ld KiB; after 200: %ld KiB (%+ld KiB)\n",
        after20, after200, after200 - after20);
    SetSoundService(nullptr);
    return 0;
}
