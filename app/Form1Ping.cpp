// The "Ping" box of the main window.
#include "app/TForm1.h"

#include "controls/Announcer.h"
#include "controls/Notifier.h"
#include "controls/OperationRunner.h"
#include "controls/TSpinEdit.h"
#include "controls/WinText.h"
#include "net/TNxIcmpClient.h"
#include "ping/PingBox.h"
#include "ping/ReplyBatch.h"

#include <QLineEdit>
#include <QListWidget>

namespace orvex {

void TForm1::PingButtonClick() {
    // The run goes on a worker thread with the echo client it shares; each line reaches the list
    // as its reply arrives. Escape ends the run after the request in flight.
    const std::string host = toWinBytes(edHost->text());
    const std::string countText = SpinEdit1->text().toStdString();
    if (host.empty()) {
        // Nothing to wait for: the run only shows its notice, here on the UI thread.
        PingBoxView view;
        view.showInputNotice = [this] {
            notifier().information(this, fromUtf8(kPingInputNotice));
            edHost->setFocus(Qt::OtherFocusReason);
        };
        RunPingBox(*ICMP, host, countText, {}, view);
        return;
    }
    auto pending = std::make_shared<ReplyBatch>();
    Operations->start(
        [this, icmp = ICMP, host, countText,
         pending](OperationContext& operation) -> OperationRunner::Completion {
            bool failed = false;
            PingBoxView view;
            view.clearReplies = [this, &operation] { operation.post([this] { lstReplies->clear(); }); };
            view.showFailure = [&failed] { failed = true; };
            view.addSummary = [this, &operation](const std::string& line) {
                operation.post([this, line] {
                    lstReplies->addItem(fromWinBytes(line));
                    announceNewRow(lstReplies, lstReplies->count() - 1);
                });
            };
            RunPingBox(
                *icmp, host, countText,
                // The client keeps this handler after the run: it holds nothing of the run's stack.
                [this, operation, pending](TNxIcmpClient&, const TReplyStatus& status) {
                    if (!pending->add(status)) return;
                    operation.post([this, pending] {
                        for (const TReplyStatus& reply : pending->take())
                            ICMPReply(*ICMP, reply);
                    });
                },
                view, [&operation] { return operation.stopRequested(); });
            // The failure box comes after the run's last line.
            if (!failed) return {};
            return
                [this] { notifier().error(this, fromUtf8(kPingFailureCaption), fromUtf8(kPingFailureText)); };
        },
        OperationRunner::OnStop::Finish);
}

void TForm1::ICMPReply(TNxIcmpClient&, const TReplyStatus& AReplyStatus) {
    lstReplies->addItem(fromWinBytes(PingReplyLine(AReplyStatus)));
    announceNewRow(lstReplies, lstReplies->count() - 1); // screen readers hear each line
}

} // namespace orvex
