#pragma once

#include <QString>
#include <QStringList>

class QApplication;

namespace pikota::toolkit {

// The application's title, "ピコタ".
QString AppTitle();
// The folder that holds the program's executable, without a trailing separator.
QString AppPath();

struct Version {
    int major, minor, revision;
};
Version AppVersion();

// Sets up the application object as the program needs it: its name and icon
// and Qt's own Japanese translation, so that standard dialogs speak Japanese.
void InitApplication(QApplication& app);

// Starts a program detached, without a shell; returns at once. False if it could not be started.
bool StartProgram(const QString& program, const QStringList& arguments = {});

} // namespace pikota::toolkit
