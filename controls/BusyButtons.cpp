#include "controls/BusyButtons.h"

#include "controls/OperationRunner.h"
#include "controls/TlxButton.h"

namespace orvex {

const QString BusyButtons::kStopCaption = QStringLiteral("Stopp");
const QString BusyButtons::kStopDescription = QStringLiteral("Beendet die laufende Abfrage (auch mit Esc)");

BusyButtons::BusyButtons(OperationRunner* runner, QObject* parent) : QObject(parent), runner_(runner) {
    connect(runner, &OperationRunner::busyChanged, this, &BusyButtons::show);
}

void BusyButtons::add(TlxButton* button, std::function<void()> handler) {
    buttons_.emplace_back(button);
    runner_->allowWhileBusy(button); // disabled meanwhile, unless it is the stop button
    connect(button, &QAbstractButton::clicked, this, [this, button, handler = std::move(handler)] {
        if (!runner_->busy())
            startFrom(button, handler);
        else if (button == running_)
            runner_->stop();
    });
}

void BusyButtons::startFrom(TlxButton* button, const std::function<void()>& start) {
    starting_ = button;
    struct Reset {
        QPointer<TlxButton>& starting;
        ~Reset() { starting = nullptr; }
    } reset{starting_};
    start();
}

void BusyButtons::show(bool busy) {
    if (busy) {
        running_ = starting_;
        for (const QPointer<TlxButton>& button : buttons_)
            if (button && button != running_) button->setEnabled(false);
        if (running_) {
            saved_ = {running_, running_->text(), running_->accessibleDescription(), running_->toolTip()};
            running_->setText(kStopCaption);
            running_->setAccessibleDescription(kStopDescription);
            running_->setToolTip(kStopDescription);
        }
        return;
    }
    if (saved_.button) {
        saved_.button->setText(saved_.caption);
        saved_.button->setAccessibleDescription(saved_.description);
        saved_.button->setToolTip(saved_.toolTip);
    }
    saved_ = {};
    running_ = nullptr;
    for (const QPointer<TlxButton>& button : buttons_)
        if (button) button->setEnabled(true);
}

} // namespace orvex
