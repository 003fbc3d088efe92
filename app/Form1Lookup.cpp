// The "IP to Hostname" and "Hostname to IP" boxes of the main window.
#include "app/TForm1.h"

#include "controls/Announcer.h"
#include "controls/Notifier.h"
#include "controls/OperationRunner.h"
#include "controls/WinText.h"
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
        announce(form, field->text());
        break;
    case LookupOutcome::Kind::NotFound:
        notifier().information(form, fromUtf8(outcome.notice));
        break;
    }
}

// Runs lookup on a worker thread. The resolver call cannot be interrupted: a stopped lookup is let
// go, and its answer never reaches the window. A found answer is shown at once and the box then
// rests for kLookupSettleMs, with the window alive.
void startLookup(TForm1* form, QLineEdit* field, std::function<LookupOutcome()> lookup,
                 std::function<void(const LookupOutcome&)> beforeOutcome) {
    form->Operations->start(
        [form, field, lookup = std::move(lookup), beforeOutcome = std::move(beforeOutcome)](
            OperationContext& operation) -> OperationRunner::Completion {
            const LookupOutcome outcome = lookup();
            auto show = [form, field, outcome, beforeOutcome] {
                beforeOutcome(outcome);
                showLookupOutcome(form, outcome, field);
            };
            if (outcome.kind != LookupOutcome::Kind::Found) return show;
            operation.post(show);
            operation.sleepFor(static_cast<int>(kLookupSettleMs));
            return {};
        },
        OperationRunner::OnStop::Abandon);
}

} // namespace

void TForm1::lxButton1Click() {
    const std::string ipText = toWinBytes(editIP->text());
    if (ipText.empty()) return showLookupOutcome(this, reverseLookup(ipText), editIP);
    startLookup(
        this, editIP, [ipText] { return reverseLookup(ipText); }, [](const LookupOutcome&) {});
}

void TForm1::lxButton2Click() {
    // The cleaned input stays in the field, whatever the outcome.
    auto keepInput = [this](const LookupOutcome& outcome) { editHost->setText(fromWinBytes(outcome.input)); };
    const std::string hostText = toWinBytes(editHost->text());
    if (cleanHostInput(hostText).empty()) {
        const LookupOutcome outcome = forwardLookup(hostText);
        keepInput(outcome);
        return showLookupOutcome(this, outcome, editHost);
    }
    startLookup(
        this, editHost, [hostText] { return forwardLookup(hostText); }, keepInput);
}

} // namespace orvex
