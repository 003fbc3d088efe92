// The "IP to Hostname" and "Hostname to IP" boxes of the main window.
#include "app/TForm1.h"

#include "controls/Notifier.h"
#include "controls/WinText.h"
#include "platform/Ticks.h"
#include "resolve/LookupBoxes.h"

#include <QLineEdit>

namespace orvex {

namespace {

// Both boxes answer alike: a notice for empty input (focus back into the box's field) or for a
// failed lookup; a found answer replaces the field's text and goes on to the Ping field.
void showLookupOutcome(TForm1* form, const LookupOutcome& outcome, QLineEdit* field) {
    switch (outcome.kind) {
    case LookupOutcome::Kind::EmptyInput:
        notifier().information(form, fromUtf8(outcome.notice));
        field->setFocus();
        break;
    case LookupOutcome::Kind::Found:
        field->setText(fromWinBytes(outcome.result));
        form->edHost->setText(fromWinBytes(outcome.result));
        sleepMs(kLookupSettleMs);
        break;
    case LookupOutcome::Kind::NotFound:
        notifier().information(form, fromUtf8(outcome.notice));
        break;
    }
}

} // namespace

void TForm1::lxButton1Click() { showLookupOutcome(this, reverseLookup(toWinBytes(editIP->text())), editIP); }

void TForm1::lxButton2Click() {
    const LookupOutcome outcome = forwardLookup(toWinBytes(editHost->text()));
    editHost->setText(fromWinBytes(outcome.input)); // the cleaned input stays, whatever the outcome
    showLookupOutcome(this, outcome, editHost);
}

} // namespace orvex
