// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// An installation into a staging folder, under /usr as the package has it, seen the
// way the desktop and the program itself look at it.
#include "about/HelpCommands.h"
#include "platform/toolkit/Artwork.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

namespace toolkit = pikota::toolkit;

namespace {

struct Result {
    int code;
    QString output;
};

Result run(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(100000))
        return {-1, program + QStringLiteral(" did not finish")};
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {code, QString::fromLocal8Bit(process.readAll())};
}

class Installed : public ::testing::Test {
protected:
    static inline QTemporaryDir* stage = nullptr;

    static void SetUpTestSuite() {
        stage = new QTemporaryDir;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), stage->path());
        const Result r = run(QStringLiteral(PIKOTA_CMAKE),
                             {QStringLiteral("--install"), QStringLiteral(PIKOTA_BUILD_DIR),
                              QStringLiteral("--prefix"), QStringLiteral("/usr")},
                             environment);
        ASSERT_EQ(r.code, 0) << r.output.toStdString();
    }
    static void TearDownTestSuite() {
        delete stage;
        stage = nullptr;
    }
    static QString usr(const QString& path) { return stage->path() + QStringLiteral("/usr/") + path; }
};

const QList<int> kIconSizes = {16, 32, 48, 64, 128, 256};

TEST_F(Installed, ThereIsTheProgramWhatTheDesktopNeedsAndNothingElse) {
    QSet<QString> expected = {
        QStringLiteral("usr/bin/pikota"),
        QStringLiteral("usr/share/pikota/readme.txt"),
        QStringLiteral("usr/share/applications/" PIKOTA_APP_ID ".desktop"),
        QStringLiteral("usr/share/metainfo/" PIKOTA_APP_ID ".metainfo.xml"),
        QStringLiteral("usr/share/man/man1/pikota.1.gz"),
        QStringLiteral("usr/share/man/ja/man1/pikota.1.gz"),
        QStringLiteral("usr/share/doc/pikota/copyright"),
        QStringLiteral("usr/share/doc/pikota/changelog.gz"),
    };
    for (int size : kIconSizes)
        expected << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/pikota.png").arg(size);
    QSet<QString> found;
    const QDir root(stage->path());
    for (QDirIterator it(stage->path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        found << root.relativeFilePath(it.next());
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(QFileInfo(usr(QStringLiteral("bin/pikota"))).isExecutable());
}

TEST_F(Installed, TheHelpMenuFindsTheHelpFileFromTheProgramsFolder) {
    const QString folder = HelpFolder(usr(QStringLiteral("bin")));
    EXPECT_TRUE(QFileInfo::exists(HelpFilePath(folder))) << folder.toStdString();
}

TEST_F(Installed, EachIconIsTheWindowsIconArtEnlargedByAWholeFactor) {
    for (int size : kIconSizes) {
        const QImage icon(usr(QStringLiteral("share/icons/hicolor/%1x%1/apps/pikota.png").arg(size)));
        ASSERT_EQ(icon.size(), QSize(size, size));
        // Sizes that 32 divides come from the 32-pixel drawing, the others from the 16-pixel one.
        const QImage art = toolkit::AppIconImage(size % 32 == 0 ? 32 : 16);
        const int factor = size / art.width();
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                ASSERT_EQ(icon.pixel(x, y), art.pixel(x / factor, y / factor))
                    << size << " px at " << x << ", " << y;
    }
}

TEST_F(Installed, TheDesktopEntryAndTheMetadataPassTheirValidators) {
    const Result entry = run(QStringLiteral("desktop-file-validate"),
                             {usr(QStringLiteral("share/applications/" PIKOTA_APP_ID ".desktop"))});
    EXPECT_EQ(entry.code, 0) << entry.output.toStdString();
    EXPECT_TRUE(entry.output.isEmpty()) << entry.output.toStdString(); // hints too
    // The metadata, and the desktop entry that it names as its launchable.
    const Result metadata = run(QStringLiteral("appstreamcli"),
                                {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), stage->path()});
    EXPECT_EQ(metadata.code, 0) << metadata.output.toStdString();
}

} // namespace
