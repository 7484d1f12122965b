// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/FileDialog.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmapCache>

namespace pikota::toolkit {

namespace {
CommonDialog::Seam& seam() {
    static CommonDialog::Seam instance;
    return instance;
}
} // namespace

// Qt's dialog reads double quotes in the name field as a list of names ("a" "b"), so a name typed
// with a quote in it would reach the caller cut up, as another file in another folder. The program
// takes one file at a time: whatever is typed is that one name, exactly as typed.
class CommonDialog::Dialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    // In the mode asked for. Only a change is made: each makes Qt build the dialog's buttons again, which
    // costs memory that it keeps.
    void setMode(Mode mode) {
        if (mode_ == mode)
            return;
        mode_ = mode;
        setAcceptMode(mode == Mode::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        setFileMode(mode == Mode::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }

    // Ready for another showing: nothing typed yet, `name` offered (or no name at all).
    void offer(const QString& name) {
        typed_.clear();
        if (auto* edit = nameField(); edit && completer_ && !edit->completer())
            edit->setCompleter(completer_);
        if (!name.isEmpty()) {
            const QFileInfo last(name);
            setDirectory(last.absolutePath());
            selectFile(last.fileName());
        } else if (auto* edit = nameField()) {
            edit->clear();
        }
    }

    // The chosen path, or empty when the dialog was not accepted.
    QString chosen() const {
        if (result() != QDialog::Accepted)
            return {};
        if (!typed_.isEmpty())
            return typed_;
        const QStringList files = selectedFiles();
        return files.isEmpty() ? QString() : files.constFirst();
    }

    // The dialog is hidden, not destroyed, between showings. The name field's list of completions is a
    // window of its own, which the completer opens again when a folder it waited for has been read, even
    // after the dialog has gone; there it would stay and take the next click. So the completer leaves the
    // field until the next showing.
    void done(int result) override {
        if (auto* edit = nameField(); edit && edit->completer()) {
            completer_ = edit->completer();
            completer_->popup()->hide();
            // Qt's field connects the completer to itself at every focus-in and not always apart again:
            // without this, two connections more for every showing.
            QObject::disconnect(completer_, nullptr, edit, nullptr);
            edit->setCompleter(nullptr);
        }
        QFileDialog::done(result);
    }

    void accept() override {
        auto* edit = nameField();
        const QString text = edit ? edit->text() : QString();
        if (!text.contains(QLatin1Char('"'))) {
            QFileDialog::accept();
            return;
        }
        const QString path = QDir::cleanPath(directory().absoluteFilePath(text));
        const QFileInfo info(path);
        if (info.isDir()) {
            setDirectory(path);
            edit->clear();
            return;
        }
        if (fileMode() == QFileDialog::ExistingFile && !info.exists()) {
            // Qt's own words for it, in the translation the program loads.
            QMessageBox::warning(this, windowTitle(),
                                 QCoreApplication::translate("QFileDialog",
                                                             "%1\nFile not found.\nPlease verify the "
                                                             "correct file name was given.")
                                     .arg(info.fileName()));
            return;
        }
        typed_ = path;
        QDialog::accept();
    }

private:
    QLineEdit* nameField() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    QString typed_;
    std::optional<Mode> mode_;
    QPointer<QCompleter> completer_;
};

CommonDialog::CommonDialog() = default;
CommonDialog::~CommonDialog() { delete dialog_; }

void CommonDialog::setSeam(Seam s) { seam() = std::move(s); }

QStringList CommonDialog::nameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of an entry, so a label
        // that already ends with them is used as it is.
        const QString label = parts[i].trimmed();
        if (label.endsWith(QLatin1Char(')')) &&
            label.contains(QStringLiteral("(") + patterns + QLatin1Char(')')))
            result << label;
        else
            result << label + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return result;
}

void CommonDialog::show(Mode mode, QWidget* parent) {
    std::optional<QString> chosen;
    if (seam()) {
        chosen = seam()({mode, Filter, Flags, FileName});
    } else {
        if (!dialog_) {
            dialog_ = new Dialog(parent);
            dialog_->setOption(QFileDialog::DontUseNativeDialog);
            // The caller asks before replacing a file; the dialog must not ask as well.
            dialog_->setOption(QFileDialog::DontConfirmOverwrite);
        }
        Dialog& dialog = *dialog_;
        dialog.setMode(mode);
        const QStringList filters = nameFilters(Filter);
        dialog.setNameFilters(filters.isEmpty() ? QStringList{QStringLiteral("*")} : filters);
        if (const auto entry = chosenEntry_.constFind(Filter); entry != chosenEntry_.cend())
            dialog.selectNameFilter(*entry);
        dialog.offer(FileName);
        dialog.exec();
        // The list's header is given a new blank 16 x 1 image for its first column at every painting, and
        // Qt keeps each one's pixmap in its cache, which is bounded only by their size (10 MiB of images
        // of 64 bytes): about 0.5 KiB more for every showing, for days. The window's own cached pixmaps
        // are made again at their next painting.
        QPixmapCache::clear();
        chosenEntry_.insert(Filter, dialog.selectedNameFilter());
        if (const QString path = dialog.chosen(); !path.isEmpty())
            chosen = path;
    }
    if (!chosen) {
        if (CancelError)
            throw pikota::toolkit::CancelError();
        FileName.clear();
        return;
    }
    FileName = *chosen;
}

} // namespace pikota::toolkit
