// The "IP Adresse hinter Router/Proxy" box of the main window.
#include "app/TForm1.h"

#include "app/TStatusBar.h"
#include "controls/WinText.h"
#include "net/TNxHTTP.h"
#include "web/ProxyDetection.h"
#include "web/ServiceHosts.h"

#include <QLineEdit>

namespace orvex {

void TForm1::lxButton6Click() {
    // A failed GET leaves every field and the status bar as they were.
    const std::string body = NxHTTP1->FetchUrl(publicAddressUrl(publicAddressHost));
    Edit10->setText(fromWinBytes(body));
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
