// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHash>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

class QWidget;

namespace pikota::toolkit {

// Thrown by CommonDialog when the user cancels and CancelError is set.
class CancelError : public std::runtime_error {
public:
    CancelError() : std::runtime_error("the file dialog was cancelled") {}
};

// The window's one open/save file dialog. It keeps the name chosen last and
// offers it at the next showing, whichever track or mode used it; of a filter
// of several entries, it offers the entry chosen last with it. It is one
// dialog for its whole life, made at its first showing and shown again each
// time: a dialog made anew for every showing costs memory that Qt never gives
// back.
class CommonDialog {
public:
    enum class Mode { Open, Save };

    CommonDialog();
    ~CommonDialog();
    CommonDialog(const CommonDialog&) = delete;
    CommonDialog& operator=(const CommonDialog&) = delete;

    // Report a cancel as CancelError instead of returning with an empty name.
    bool CancelError = false;
    // Entries of a label and a pattern, all joined by "|": "WAVE (*.wav)|*.wav".
    QString Filter;
    // A further option, set before a save; the dialog does not use it.
    std::int16_t Flags = 0;
    // The full path of the file chosen last.
    QString FileName;

    void ShowOpen(QWidget* parent = nullptr) { show(Mode::Open, parent); }
    void ShowSave(QWidget* parent = nullptr) { show(Mode::Save, parent); }

    // Qt's name filters for a "label|pattern|label|pattern" text.
    static QStringList nameFilters(const QString& filter);

    // Tests answer the dialog here: the chosen path, or nullopt for a cancel.
    struct Request {
        Mode mode;
        QString filter;
        std::int16_t flags;
        QString fileName; // the name the dialog offers
    };
    using Seam = std::function<std::optional<QString>(const Request&)>;
    static void setSeam(Seam seam);

private:
    void show(Mode mode, QWidget* parent);

    class Dialog;
    // A child of the first showing's parent, which may delete it first.
    QPointer<Dialog> dialog_;
    // For each filter, the entry chosen last with it.
    QHash<QString, QString> chosenEntry_;
};

} // namespace pikota::toolkit
