// The "Ping" box of the main window.
#include "app/TForm1.h"

#include "controls/Notifier.h"
#include "controls/TSpinEdit.h"
#include "controls/WinText.h"
#include "net/TNxIcmpClient.h"
#include "ping/PingBox.h"

#include <QLineEdit>
#include <QListWidget>

namespace orvex {

void TForm1::PingButtonClick() {
    PingBoxView view;
    view.showInputNotice = [this] {
        notifier().information(this, fromUtf8(kPingInputNotice));
        edHost->setFocus(Qt::OtherFocusReason);
    };
    view.clearReplies = [this] { lstReplies->clear(); };
    view.showFailure = [this] {
        notifier().error(this, fromUtf8(kPingFailureCaption), fromUtf8(kPingFailureText));
    };
    view.addSummary = [this](const std::string& line) { lstReplies->addItem(fromWinBytes(line)); };
    RunPingBox(
        *ICMP, toWinBytes(edHost->text()), SpinEdit1->text().toStdString(),
        [this](TNxIcmpClient& sender, const TReplyStatus& status) { ICMPReply(sender, status); }, view);
}

void TForm1::ICMPReply(TNxIcmpClient&, const TReplyStatus& AReplyStatus) {
    lstReplies->addItem(fromWinBytes(PingReplyLine(AReplyStatus)));
}

} // namespace orvex
