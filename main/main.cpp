// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "device/Module1.h"
#include "main/frmMain.h"
#include "platform/sound/WaveAudioService.h"
#include "platform/toolkit/Application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <optional>

namespace toolkit = pikota::toolkit;

namespace {

// The command line: up to two sound files, for track 1 and track 2, and two questions
// that are answered in the terminal.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}};

    CommandLine() {
        // "-platform" is one of Qt's options, not "-p -l -a ...".
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOption(help);
        parser.addOption(version);
    }
};

// Written out rather than left to QCommandLineParser, which lines up its columns by
// characters and so misaligns the double-width Japanese ones.
const char* const kHelp = "使い方: pikota [オプション] [ファイル１ [ファイル２]]\n"
                          "ピコタ: 二つの音声を録音・再生して、波形を並べて比べます。\n"
                          "\n"
                          "オプション:\n"
                          "  -h, --help     この使い方を表示して終わります。\n"
                          "  -v, --version  バージョンを表示して終わります。\n"
                          "\n"
                          "引数:\n"
                          "  ファイル１     音声１に読み込む音声ファイル（WAV、FLAC、MP3、Ogg など）。\n"
                          "  ファイル２     音声２に読み込む音声ファイル。\n";

void print(std::FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

// Answers --help and --version before any window is made, so they need no display.
// Qt's own options (-platform, -display, ...) are taken out only by QApplication,
// so here they are unknown and ignored. Returns the exit code when the program has
// answered and is done.
std::optional<int> answerInTerminal(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    toolkit::InitApplication(app);
    CommandLine line;
    line.parser.parse(app.arguments());
    if (line.parser.isSet(line.help)) {
        print(stdout, QString::fromUtf8(kHelp));
        return 0;
    }
    if (line.parser.isSet(line.version)) {
        print(stdout, toolkit::AppTitle() + QLatin1Char(' ') + app.applicationVersion() + QLatin1Char('\n'));
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const auto answered = answerInTerminal(argc, argv))
        return *answered;

    QApplication app(argc, argv);
    toolkit::InitApplication(app);
    CommandLine line;
    if (!line.parser.parse(app.arguments())) {
        print(stderr, QStringLiteral("pikota: %1\n使い方は「pikota --help」で表示できます。\n")
                          .arg(line.parser.errorText()));
        return 2;
    }
    QStringList files;
    for (const QString& argument : line.parser.positionalArguments())
        files << QFileInfo(argument).absoluteFilePath();
    if (files.size() > 2) {
        print(stderr,
              QStringLiteral("pikota: 読み込めるファイルは二つまでです。次のファイルは読み込みません: %1\n")
                  .arg(files.mid(2).join(QStringLiteral(", "))));
        files.resize(2);
    }

    // A recording that reaches the file-size limit of the process fails its write and keeps what it
    // has, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // The sound device starts connecting to the sound server now, in the background, so that the
    // first play or record does not wait for it; without a server the program works all the same.
    const auto sound = pikota::sound::makeSoundService();
    SetSoundService(sound.get());
    int result = 0;
    {
        frmMain window;
        window.OpenFiles(files);
        result = app.exec();
    }
    SetSoundService(nullptr);
    return result;
}
