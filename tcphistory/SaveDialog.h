// The save-file dialog of the history window, behind a seam: the program shows a QFileDialog,
// tests install a runner that answers at once instead of blocking on a modal dialog.
#pragma once

#include <QString>

class QWidget;

namespace orvex {

// What the window sets before running the dialog, and the file name the user confirmed.
struct TSaveDialog {
    QString Filter;      // "description|pattern" pairs joined by "|"
    QString DefaultExt;  // appended when the typed name has no extension
    QString FileName;    // in: proposed name; out: the confirmed name
    int FilterIndex = 1; // in and out: the chosen entry of Filter, counted from 1
    // Runs the dialog modally; true when the user confirmed a name (then in FileName).
    bool Execute(QWidget* owner);
};

class SaveDialogRunner {
public:
    virtual ~SaveDialogRunner() = default;
    virtual bool run(QWidget* owner, TSaveDialog& dialog) = 0;
};

// A modal QFileDialog that replaces an existing file without asking.
class FileDialogRunner final : public SaveDialogRunner {
public:
    bool run(QWidget* owner, TSaveDialog& dialog) override;
};

// The process's runner; FileDialogRunner unless a test replaced it.
SaveDialogRunner& saveDialogRunner();
// Replaces the process's runner (tests); returns the previous one. Does not take ownership.
SaveDialogRunner* setSaveDialogRunner(SaveDialogRunner* replacement);

// "Excel (*.xls)|*.xls" -> the name filters a QFileDialog takes.
QStringList qtNameFilters(const QString& filter);

} // namespace orvex
