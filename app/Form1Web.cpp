// The "IP Adresse hinter Router/Proxy" box of the main window.
#include "app/TForm1.h"

#include "app/TStatusBar.h"
#include "controls/OperationRunner.h"
#include "controls/WinText.h"
#include "net/TNxHTTP.h"
#include "platform/ProxySetting.h"
#include "web/ProxyDetection.h"
#include "web/PublicAddressClient.h"
#include "web/ServiceSettings.h"

#include <QLineEdit>

#include <atomic>

namespace orvex {

void TForm1::lxButton6Click() {
    // The setting, the GET and the proxy query run on a worker thread with the client and the
    // proxy service they share. A failed GET, or a setting that is no http:// URL, leaves every
    // field and the status bar as they were; so does a stopped query, whose client stays with it
    // until its wait ends. The setting is read anew each time, so a changed file counts at once.
    applyWebTimeouts(*NxHTTP1, webTimeouts);
    const bool started = Operations->start(
        [this, client = NxHTTP1, proxy = services_.proxy](OperationContext&) -> OperationRunner::Completion {
            const std::string address =
                publicAddressFromReply(client->FetchUrl(serviceUrl(WebService::PublicAddress)));
            std::string panel;
            if (!fromWinBytes(address).isEmpty() && proxy) panel = proxyPanelText(GetProxy(*proxy, "http"));
            return [this, address, panel] {
                Edit10->setText(fromWinBytes(address));
                if (Edit10->text().isEmpty()) return;
                Button10Click();
                // Without a proxy the panel keeps what an earlier query showed.
                if (!panel.empty()) StatusBar1->setPanelText(2, fromWinBytes(panel));
            };
        },
        OperationRunner::OnStop::Abandon);
    if (!started) return;
    // A stopped query keeps its client; the next query must not share it.
    connect(
        Operations, &OperationRunner::idle, this,
        [this, client = NxHTTP1] {
            if (NxHTTP1 != client) return;
            if (client.use_count() > 2) {
                NxHTTP1 = makePublicAddressClient();
                return;
            }
            // The count is read without ordering; the fence makes the worker's last use of the
            // client, before it let go of it, happen before the next query's use here.
            std::atomic_thread_fence(std::memory_order_acquire);
        },
        Qt::SingleShotConnection);
}

void TForm1::Button10Click() {
    Edit10->setText(Edit10->text().remove(QLatin1Char(' ')));
    edHost->setText(Edit10->text());
    editIP->setText(Edit10->text());
}

} // namespace orvex
