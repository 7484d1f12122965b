// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/Application.h"

#include "platform/toolkit/PikotaVersion.h"

#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

#include <malloc.h>

namespace pikota::toolkit {

QString AppTitle() { return QStringLiteral("ピコタ"); }

QString AppPath() { return QDir::cleanPath(QCoreApplication::applicationDirPath()); }

Version AppVersion() { return {PIKOTA_VERSION_MAJOR, PIKOTA_VERSION_MINOR, PIKOTA_VERSION_PATCH}; }

void ShapeHeap() {
    constexpr int kMapped = 128 * 1024;
    mallopt(M_MMAP_THRESHOLD, kMapped);
    mallopt(M_TRIM_THRESHOLD, kMapped);
}

void ReleaseFreeMemory() { malloc_trim(0); }

void InitApplication(QCoreApplication& app) {
    ShapeHeap();
    app.setApplicationName(QStringLiteral("pikota"));
    app.setApplicationVersion(QStringLiteral("%1.%2.%3")
                                  .arg(PIKOTA_VERSION_MAJOR)
                                  .arg(PIKOTA_VERSION_MINOR)
                                  .arg(PIKOTA_VERSION_PATCH));
    // Wayland matches the window to the desktop entry, and so to its icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(PIKOTA_APP_ID));
    // Qt's file dialog keeps its folders in QSettings(UserScope, "QtProject"); with the
    // user folder moved, that file is ~/.config/pikota/QtProject.conf.
    const QString settings = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

namespace {

// Centred in the screen's available area; a window larger than that area keeps its title bar and
// menu bar on the screen instead: on that axis its frame starts at the area's edge.
void Centre(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        const QRect area = screen->availableGeometry();
        QRect frame = window.frameGeometry();
        frame.moveCenter(area.center());
        if (frame.width() > area.width())
            frame.moveLeft(area.left());
        if (frame.height() > area.height())
            frame.moveTop(area.top());
        window.move(frame.topLeft());
    }
}

// The frame is known once the window manager has framed the window, which may take a few exposures
// (a window manager that has just started frames it late): centred again at the first exposure that
// knows its frame. Without a frame (no window manager, or one that draws none) the first centring
// stands; the watch ends after two seconds, so that a window the user moves is never moved back.
class CentreWhenExposed : public QObject {
public:
    explicit CentreWhenExposed(QWidget& window) : QObject(&window), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Expose || !static_cast<QWindow*>(watched)->isExposed())
            return false;
        if (!watching_) {
            watching_ = true;
            QTimer::singleShot(2000, this, [this, watched] { stop(watched); });
        }
        if (window_.frameGeometry() != window_.geometry()) {
            Centre(window_);
            stop(watched);
        }
        return false;
    }

private:
    void stop(QObject* watched) {
        watched->removeEventFilter(this);
        deleteLater();
    }

    QWidget& window_;
    bool watching_ = false;
};

} // namespace

void ShowCentred(QWidget& window) {
    Centre(window);
    window.winId(); // makes the native window, to be watched
    window.windowHandle()->installEventFilter(new CentreWhenExposed(window));
    window.show();
}

bool StartProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

} // namespace pikota::toolkit
