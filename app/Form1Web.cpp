// The "IP Adresse hinter Router/Proxy" box of the main window.
#include "app/TForm1.h"

#include "app/TStatusBar.h"
#include "controls/Announcer.h"
#include "controls/OperationRunner.h"
#include "controls/WinText.h"
#include "platform/ProxySetting.h"
#include "web/ProxyDetection.h"
#include "web/PublicAddressClient.h"
#include "web/ServiceSettings.h"

#include <QLineEdit>

namespace orvex {

void TForm1::lxButton6Click() {
    // The setting, the GET and the proxy query run on a worker thread with the client and the
    // proxy service they share. A failed GET, or a setting that is no http:// URL, leaves every
    // field and the status bar as they were; so does a stopped query, whose socket is shut down
    // when the box is idle again. The setting is read anew each time, so a changed file counts at
    // once.
    if (Operations->busy()) return; // held off; the client is not handed out for nothing
    const PublicAddressClients::Query query = NxHTTP1.next(webTimeouts);
    Operations->start(
        [this, query, proxy = services_.proxy](OperationContext&) -> OperationRunner::Completion {
            std::string address;
            {
                const WebQuery::Running running = query.hold->run(*query.client);
                address =
                    publicAddressFromReply(query.client->FetchUrl(serviceUrl(WebService::PublicAddress)));
            }
            std::string panel;
            if (!fromWinBytes(address).isEmpty() && proxy) panel = proxyPanelText(GetProxy(*proxy, "http"));
            return [this, address, panel] {
                Edit10->setText(fromWinBytes(address));
                if (Edit10->text().isEmpty()) return;
                Button10Click();
                announce(this, Edit10->text());
                // Without a proxy the panel keeps what an earlier query showed.
                if (!panel.empty()) StatusBar1->setPanelText(2, fromWinBytes(panel));
            };
        },
        OperationRunner::OnStop::Abandon);
    connect(
        Operations, &OperationRunner::idle, this, [this] { NxHTTP1.settle(); }, Qt::SingleShotConnection);
}

void TForm1::Button10Click() {
    Edit10->setText(Edit10->text().remove(QLatin1Char(' ')));
    edHost->setText(Edit10->text());
    editIP->setText(Edit10->text());
}

} // namespace orvex
