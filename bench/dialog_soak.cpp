// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_dialogs: the window's memory over a long session of loads through the real file dialog, each one
// answered as a user would, by typing the file's name and pressing Enter: resident memory after 20 loads
// of short files and after 200. The window keeps one dialog for its life, so the second is within 1 MiB of
// the first. Then large files in turn, 60 rounds of an hour of 24-bit WAV, ten minutes of 4-channel float
// WAV and ten minutes of MP3, each loaded while the last one's overview may still be made: resident memory
// after the second round and after the last. Run it under xvfb-run -a: the dialog's windows are then real
// ones.
#include "bench/ProcessStatus.h"
#include "device/Module1.h"
#include "main/frmMain.h"
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "tests/device/SoundTestSupport.h"
#include "tests/support/WavBytes.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <filesystem>
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

    // The large files: the WAV files sparse (silence, as fast to write as to skip), the MP3 file encoded.
    const auto sparseWav = [&](const QString& name, std::int16_t channels, std::int16_t bits,
                               std::int16_t tag, std::int64_t frames) {
        const QString path = dir.filePath(name);
        const auto align = static_cast<std::int16_t>(channels * bits / 8);
        pikota::test::WriteFile(
            path, pikota::test::Riff({pikota::test::Chunk("fmt ", pikota::test::FormatBody(channels, 44100,
                                                                                           bits, align, tag)),
                                      pikota::test::Chunk("data", {}, frames * align)}));
        std::filesystem::resize_file(path.toStdString(), 44 + static_cast<std::uintmax_t>(frames * align));
        return path;
    };
    const QString mp3 = dir.filePath(QStringLiteral("ten minutes.mp3"));
    pikota::test::writeSound(
        mp3.toStdString(), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, 600 * 44100,
        [](std::int64_t frame, int) { return 0.3 * std::sin(static_cast<double>(frame) * 0.0627); });
    const QString large[] = {sparseWav(QStringLiteral("hour24.wav"), 2, 24, 1, 3600LL * 44100),
                             sparseWav(QStringLiteral("float4.wav"), 4, 32, 3, 600LL * 44100), mp3};

    frmMain form;
    int loads = 0;
    const QString* next = files; // what the dialog is answered with
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
        QTest::keyClicks(edit, next[loads % (next == files ? 2 : 3)]);
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
    std::fflush(stdout);

    next = large;
    long afterRound2 = 0;
    for (loads = 0; loads < 3 * 60; ++loads) {
        form.cmdRoad1->click();
        if (loads + 1 == 2 * 3)
            afterRound2 = pikota::test::StatusKiB("VmRSS");
    }
    const long afterRound60 = pikota::test::StatusKiB("VmRSS");
    std::printf("resident memory after the 2nd round of three large files through the file dialog: %ld KiB; "
                "after the 60th: %ld KiB (%+ld KiB)\n",
                afterRound2, afterRound60, afterRound60 - afterRound2);
    SetSoundService(nullptr);
    return 0;
}
