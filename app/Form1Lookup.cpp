// The "IP to Hostname" and "Hostname to IP" boxes of the main window.
#include "app/TForm1.h"

#include "controls/Notifier.h"
#include "controls/WinText.h"
#include "platform/Ticks.h"
#include "resolve/LookupBoxes.h"

#include <QLineEdit>

namespace orvex {

void TForm1::lxButton1Click() {
    const LookupOutcome outcome = reverseLookup(toWinBytes(editIP->text()));
    switch (outcome.kind) {
    case LookupOutcome::Kind::EmptyInput:
        notifier().information(this, fromUtf8(outcome.notice));
        editIP->setFocus();
        break;
    case LookupOutcome::Kind::Found:
        editIP->setText(fromWinBytes(outcome.result));
        edHost->setText(fromWinBytes(outcome.result));
        sleepMs(kLookupSettleMs);
        break;
    case LookupOutcome::Kind::NotFound:
        notifier().information(this, fromUtf8(outcome.notice));
        break;
    }
}

void TForm1::lxButton2Click() {
    const LookupOutcome outcome = forwardLookup(toWinBytes(editHost->text()));
    editHost->setText(fromWinBytes(outcome.input));
    switch (outcome.kind) {
    case LookupOutcome::Kind::EmptyInput:
        notifier().information(this, fromUtf8(outcome.notice));
        editHost->setFocus();
        break;
    case LookupOutcome::Kind::Found:
        editHost->setText(fromWinBytes(outcome.result));
        edHost->setText(fromWinBytes(outcome.result));
        sleepMs(kLookupSettleMs);
        break;
    case LookupOutcome::Kind::NotFound:
        notifier().information(this, fromUtf8(outcome.notice));
        break;
    }
}

} // namespace orvex
