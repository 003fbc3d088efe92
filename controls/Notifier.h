// The one seam through which windows show notices and error reports. The program uses
// MessageBoxNotifier; tests install a recording notifier and read what would have been shown.
#pragma once

#include <QString>

class QWidget;

namespace orvex {

class Notifier {
public:
    virtual ~Notifier() = default;
    // Modal box, caption "Information", information icon, one OK button.
    virtual void information(QWidget* owner, const QString& text) = 0;
    // Modal box with an error icon and one OK button (the application error report and the like).
    virtual void error(QWidget* owner, const QString& caption, const QString& text) = 0;
    // A modal box with a caption of its own and an information icon (PageRank, ping failures, ...).
    virtual void message(QWidget* owner, const QString& caption, const QString& text) = 0;
};

class MessageBoxNotifier final : public Notifier {
public:
    void information(QWidget* owner, const QString& text) override;
    void error(QWidget* owner, const QString& caption, const QString& text) override;
    void message(QWidget* owner, const QString& caption, const QString& text) override;
};

// The process's notifier; MessageBoxNotifier unless a test replaced it.
Notifier& notifier();
// Replaces the process's notifier (tests); returns the previous one. Does not take ownership.
Notifier* setNotifier(Notifier* replacement);

} // namespace orvex
