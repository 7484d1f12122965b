#include "platform/toolkit/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace pikota::toolkit {

namespace {
CommonDialog::Seam& seam() {
    static CommonDialog::Seam instance;
    return instance;
}
} // namespace

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
        chosen = seam()({mode, Filter, FileName});
    } else {
        QFileDialog dialog(parent);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        // The caller asks before replacing a file; the dialog must not ask as well.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(mode == Mode::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        dialog.setFileMode(mode == Mode::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        const QStringList filters = nameFilters(Filter);
        if (!filters.isEmpty())
            dialog.setNameFilters(filters);
        if (!FileName.isEmpty()) {
            const QFileInfo last(FileName);
            dialog.setDirectory(last.absolutePath());
            dialog.selectFile(last.fileName());
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
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
