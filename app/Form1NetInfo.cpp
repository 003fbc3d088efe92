// The "Lokale IP-Adresse", "Mac-Adresse" and "Gateway" boxes of the main window.
#include "app/TForm1.h"

#include "controls/Announcer.h"
#include "controls/KeyboardPresence.h"
#include "controls/OperationRunner.h"
#include "controls/WinText.h"
#include "netinfo/AdapterBoxes.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace orvex {

namespace {

// Stands in when the window was given no adapter service: a machine without adapters.
class NoNetworkAdapters final : public NetworkAdapters {
public:
    std::vector<Ipv4Address> ownAddresses() override { return {}; }
    std::vector<unsigned> hardwareAdapters() override { return {}; }
    int resetAdapter(unsigned) override { return kAdapterInvalid; }
    int adapterStatus(unsigned, HardwareAddress&) override { return kAdapterInvalid; }
    GatewayQuery gateways() override { return {}; }
};

} // namespace

std::shared_ptr<NetworkAdapters> TForm1::adapters() {
    static const auto none = std::make_shared<NoNetworkAdapters>();
    return services_.adapters ? services_.adapters : none;
}

void TForm1::startComboUpdate(QComboBox* combo, std::function<ComboUpdate(NetworkAdapters&)> query) {
    // The query runs on a worker thread with the adapter service it shares; a stopped query is let go.
    Operations->start(
        [this, combo, adapters = adapters(),
         query = std::move(query)](OperationContext&) -> OperationRunner::Completion {
            ComboUpdate update = query(*adapters);
            return [this, combo, update = std::move(update)] { applyComboUpdate(combo, update); };
        },
        OperationRunner::OnStop::Abandon);
}

void TForm1::applyComboUpdate(QComboBox* combo, const ComboUpdate& update) {
    if (update.replaceEntries) {
        // Filling the list is not a change by the user: the change handlers stay quiet, and the
        // hand-over below happens once, with the final text.
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->clearEditText();
        for (const std::string& entry : update.entries)
            combo->addItem(fromWinBytes(entry));
        if (!update.entries.empty()) combo->setCurrentIndex(0);
        if (update.openList && keyboardPresent()) combo->showPopup();
        announce(this, combo->currentText());
    }
    if (update.copyText) {
        const QString text = combo->currentText();
        edHost->setText(text);
        editIP->setText(text);
    }
}

void TForm1::lxButton3Click() {
    startComboUpdate(Edit1, [](NetworkAdapters& adapters) { return localAddressUpdate(adapters); });
}

void TForm1::Edit1Change() {
    edHost->setText(Edit1->currentText());
    editIP->setText(Edit1->currentText());
}

void TForm1::lxButton4Click() {
    startComboUpdate(iphinter, [](NetworkAdapters& adapters) { return hardwareAddressUpdate(adapters); });
}

void TForm1::lxButton5Click() {
    FillGatewayList(true);
}

void TForm1::Button11Click() {
    FillGatewayList(false);
}

void TForm1::FillGatewayList(bool openList) {
    startComboUpdate(cobGateway,
                     [openList](NetworkAdapters& adapters) { return gatewayUpdate(adapters, openList); });
}

void TForm1::cobGatewayChange() {
    edHost->setText(cobGateway->currentText());
    editIP->setText(cobGateway->currentText());
}

} // namespace orvex
