// A window's buttons while an operation runs: the button that started it reads "Stopp" and stops it
// when clicked (by mouse or assistive technology; Escape still stops it too), and the window's other
// buttons are disabled, so that everyone sees that something runs, how to end it, and that nothing
// else can start meanwhile. At rest the buttons are as they were.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

namespace orvex {

class OperationRunner;
class TlxButton;

class BusyButtons : public QObject {
public:
    // The caption of the running operation's button, and what it tells assistive technology.
    static const QString kStopCaption;
    static const QString kStopDescription;

    BusyButtons(OperationRunner* runner, QObject* parent);

    // Binds button's clicks: at rest a click runs handler (as startFrom), while the operation it
    // started runs a click stops it, and while another one runs the button is disabled and a click
    // that reaches it anyway (from assistive technology) does nothing.
    void add(TlxButton* button, std::function<void()> handler);

    // Runs start as button's: an operation start() begins shows on button.
    void startFrom(TlxButton* button, const std::function<void()>& start);

private:
    struct Shown {
        QPointer<TlxButton> button;
        QString caption;
        QString description;
        QString toolTip;
    };
    void show(bool busy);

    OperationRunner* runner_;
    std::vector<QPointer<TlxButton>> buttons_;
    QPointer<TlxButton> starting_;
    QPointer<TlxButton> running_;
    Shown saved_;
};

} // namespace orvex
