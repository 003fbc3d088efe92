#include "tcphistory/SaveDialog.h"

#include <QFileDialog>
#include <QStringList>

namespace orvex {

namespace {

SaveDialogRunner*& current() {
    static FileDialogRunner dialogs;
    static SaveDialogRunner* active = &dialogs;
    return active;
}

} // namespace

bool TSaveDialog::Execute(QWidget* owner) {
    return saveDialogRunner().run(owner, *this);
}

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // A description that already shows its patterns is taken as it is, so it reads the same.
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << description;
        else
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

bool FileDialogRunner::run(QWidget* owner, TSaveDialog& dialog) {
    QFileDialog box(owner);
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    box.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = qtNameFilters(dialog.Filter);
    box.setNameFilters(filters);
    QString suffix = dialog.DefaultExt;
    if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    box.setDefaultSuffix(suffix);
    if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
        box.selectNameFilter(filters[dialog.FilterIndex - 1]);
    // A name typed without an extension gets the one of the chosen filter ("*.csv" -> "csv").
    QObject::connect(&box, &QFileDialog::filterSelected, &box, [&box, suffix](const QString& filter) {
        const qsizetype star = filter.lastIndexOf(QStringLiteral("*."));
        const qsizetype end = filter.indexOf(QLatin1Char(')'), star);
        box.setDefaultSuffix(star < 0 ? suffix : filter.mid(star + 2, end < 0 ? -1 : end - star - 2));
    });
    if (!dialog.FileName.isEmpty()) box.selectFile(dialog.FileName);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
    dialog.FileName = box.selectedFiles().constFirst();
    dialog.FilterIndex = static_cast<int>(filters.indexOf(box.selectedNameFilter())) + 1;
    return true;
}

SaveDialogRunner& saveDialogRunner() {
    return *current();
}

SaveDialogRunner* setSaveDialogRunner(SaveDialogRunner* replacement) {
    SaveDialogRunner* previous = current();
    current() = replacement;
    return previous;
}

} // namespace orvex
