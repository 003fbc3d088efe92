// The "IP Adresse hinter Router/Proxy" box of the main window.
#include "app/TForm1.h"

#include "app/TStatusBar.h"
#include "controls/WinText.h"
#include "net/TNxHTTP.h"
#include "web/ProxyDetection.h"
#include "web/PublicAddressClient.h"
#include "web/ServiceSettings.h"

#include <QLineEdit>

namespace orvex {

void TForm1::lxButton6Click() {
    // A failed GET, or a setting that is no http:// URL, leaves every field and the status bar as
    // they were. The setting is read anew each time, so a changed file counts at once.
    const std::string body = NxHTTP1->FetchUrl(serviceUrl(WebService::PublicAddress));
    Edit10->setText(fromWinBytes(publicAddressFromReply(body)));
    if (Edit10->text().isEmpty()) return;
    Button10Click();

    if (!services_.proxy) return;
    const std::string panel = proxyPanelText(GetProxy(*services_.proxy, "http"));
    // Without a proxy the panel keeps what an earlier query showed.
    if (!panel.empty()) StatusBar1->setPanelText(2, fromWinBytes(panel));
}

void TForm1::Button10Click() {
    Edit10->setText(Edit10->text().remove(QLatin1Char(' ')));
    edHost->setText(Edit10->text());
    editIP->setText(Edit10->text());
}

} // namespace orvex
