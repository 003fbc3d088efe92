// The address, hardware-address and gateway boxes of the main window, on fake and on real adapters.
#include "app/TForm1.h"
#include "controls/OperationRunner.h"
#include "controls/TlxButton.h"
#include "netinfo/AdapterBoxes.h"
#include "tests/netinfo/FakeNetworkAdapters.h"
#include "tests/support/Screenshot.h"
#include "tests/support/WaitForOperations.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace orvex;

namespace {

QStringList entries(const QComboBox* combo) {
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

bool listIsOpen(const QComboBox* combo) {
    return combo->view()->isVisible();
}

} // namespace

namespace {

// Adapter queries that wait until the test opens the gate.
class SlowNetworkAdapters : public test::FakeNetworkAdapters {
public:
    std::shared_ptr<test::Gate> gate = std::make_shared<test::Gate>();
    std::vector<Ipv4Address> ownAddresses() override {
        hold();
        return FakeNetworkAdapters::ownAddresses();
    }
    std::vector<unsigned> hardwareAdapters() override {
        hold();
        return FakeNetworkAdapters::hardwareAdapters();
    }
    GatewayQuery gateways() override {
        hold();
        return FakeNetworkAdapters::gateways();
    }

private:
    void hold() {
        auto held = gate;
        held->wait();
    }
};

} // namespace

class NetInfoBoxesTest : public QObject {
    Q_OBJECT

    std::shared_ptr<test::FakeNetworkAdapters> fake;
    std::unique_ptr<TForm1> form;

    void pressEnter(QComboBox* combo) {
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QVERIFY(test::operationsIdle(form.get()));
    }

    void setFields(const QString& text) {
        form->editIP->setText(text);
        form->edHost->setText(text);
    }

    void expectFields(const QString& text) {
        QCOMPARE(form->editIP->text(), text);
        QCOMPARE(form->edHost->text(), text);
    }

    void listTwoGateways() {
        fake->listGateways(
            {{2, "eth0", {}}, {3, "eth1", {" 192.0.2.1 ", "192.0.2.254"}}, {4, "wlan0", {"192.0.2.1"}}});
    }

private slots:
    void init() {
        fake = std::make_shared<test::FakeNetworkAdapters>();
        form = std::make_unique<TForm1>(Form1Services{nullptr, fake});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void aSlowQueryKeepsTheWindowAliveAndEscapeLetsItGo() {
        auto slow = std::make_shared<SlowNetworkAdapters>();
        slow->addresses = {{192, 0, 2, 10}};
        slow->numbers = {1};
        form = std::make_unique<TForm1>(Form1Services{nullptr, slow});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        setFields(QStringLiteral("before"));
        for (auto [button, combo] :
             {std::pair{form->lxButton3, form->Edit1}, std::pair{form->lxButton4, form->iphinter},
              std::pair{form->lxButton5, form->cobGateway}}) {
            slow->gate = std::make_shared<test::Gate>();
            test::LivenessProbe probe(combo);
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(form->Operations->busy());
            QTRY_VERIFY(probe.ticks >= 5 && probe.paints >= 1);
            QTest::keyClick(form->editIP, Qt::Key_Escape);
            QVERIFY(!form->Operations->busy());
            slow->gate->open();
            QVERIFY(OperationRunner::waitForWorkers(5000));
            QTest::qWait(20);
            QCOMPARE(combo->count(), 0);
            expectFields(QStringLiteral("before"));
        }
    }

    void cleanup() {
        for (QComboBox* combo : {form->Edit1, form->iphinter, form->cobGateway})
            combo->hidePopup();
        form.reset();
    }

    void localAddressesFillTheComboAndGoToTheLookupFields() {
        fake->addresses = {{192, 0, 2, 10}, {10, 0, 0, 5}};
        setFields(QStringLiteral("old"));
        form->lxButton3->click();
        QVERIFY(test::operationsIdle(form.get()));
        QCOMPARE(entries(form->Edit1), (QStringList{"192.0.2.10", "10.0.0.5"}));
        QCOMPARE(form->Edit1->currentText(), QStringLiteral("192.0.2.10"));
        QVERIFY(!listIsOpen(form->Edit1));
        expectFields(QStringLiteral("192.0.2.10"));

        // Picking or typing in the combo hands its text on.
        form->Edit1->setCurrentIndex(1);
        expectFields(QStringLiteral("10.0.0.5"));
        form->Edit1->lineEdit()->selectAll();
        QTest::keyClicks(form->Edit1->lineEdit(), QStringLiteral("172.16.0.1"));
        expectFields(QStringLiteral("172.16.0.1"));

        // No addresses: the old entries go and both fields become empty.
        fake->addresses.clear();
        form->lxButton3->click();
        QVERIFY(test::operationsIdle(form.get()));
        QCOMPARE(form->Edit1->count(), 0);
        QCOMPARE(form->Edit1->currentText(), QString());
        expectFields(QString());
    }

    void hardwareAddressesOpenTheListWithTheFirstSelected() {
        fake->numbers = {2, 3, 2};
        fake->adapters[2].address = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
        fake->adapters[3].resetCode = kAdapterInvalid;
        setFields(QStringLiteral("untouched"));
        form->lxButton4->click();
        QVERIFY(test::operationsIdle(form.get()));
        QCOMPARE(entries(form->iphinter),
                 (QStringList{"00-1A-2B-3C-4D-5E", QString::fromUtf8("Ý"), "00-1A-2B-3C-4D-5E"}));
        QCOMPARE(form->iphinter->currentIndex(), 0);
        QCOMPARE(form->iphinter->currentText(), QStringLiteral("00-1A-2B-3C-4D-5E"));
        QVERIFY(listIsOpen(form->iphinter));
        expectFields(QStringLiteral("untouched"));
        form->iphinter->hidePopup();
        QVERIFY(!test::saveScreenshot(form.get(), QStringLiteral("main-window-adapter-boxes")).isEmpty());

        fake->numbers.clear();
        form->lxButton4->click();
        QVERIFY(test::operationsIdle(form.get()));
        QCOMPARE(form->iphinter->count(), 0);
        QCOMPARE(form->iphinter->currentText(), QString());
        QVERIFY(!listIsOpen(form->iphinter));
    }

    void gatewayOkOpensTheListAndHandsTheFirstEntryOn() {
        fake->listGateways({{3, "eth1", {"192.0.2.1"}}, {4, "eth2", {"0.0.0.0"}}});
        setFields(QStringLiteral("old"));
        form->lxButton5->click();
        QVERIFY(test::operationsIdle(form.get()));
        QCOMPARE(entries(form->cobGateway), (QStringList{"192.0.2.1", "0.0.0.0"}));
        QCOMPARE(form->cobGateway->currentIndex(), 0);
        QVERIFY(listIsOpen(form->cobGateway));
        expectFields(QStringLiteral("192.0.2.1"));
        form->cobGateway->hidePopup();

        form->cobGateway->setCurrentIndex(1);
        expectFields(QStringLiteral("0.0.0.0"));
    }

    void enterInTheThreeCombosFillsTheGatewayListClosed() {
        listTwoGateways();
        fake->numbers = {2};
        fake->adapters[2].address = {0x02, 0, 0, 0, 0, 0x09};
        for (QComboBox* combo : {form->Edit1, form->iphinter, form->cobGateway}) {
            form->cobGateway->clear();
            form->iphinter->clear();
            setFields(QStringLiteral("old"));
            combo->lineEdit()->setText(QStringLiteral("10.0.0.1"));
            if (combo == form->cobGateway) setFields(QStringLiteral("old"));
            combo->setFocus();
            pressEnter(combo);
            QCOMPARE(entries(form->cobGateway), (QStringList{"", "192.0.2.1", "192.0.2.254", "192.0.2.1"}));
            QVERIFY2(!listIsOpen(form->cobGateway), qPrintable(combo->objectName()));
            // The first adapter has no gateway: its empty entry is the one selected and handed on.
            QCOMPARE(form->cobGateway->currentIndex(), 0);
            expectFields(QString());
            // Enter queries gateways only: the hardware-address list stays as it was.
            QCOMPARE(form->iphinter->count(), 0);
            if (combo != form->cobGateway) QCOMPARE(combo->currentText(), QStringLiteral("10.0.0.1"));
        }
    }

    void ctrlEnterInEachComboRunsItsOwnBox() {
        fake->addresses = {{192, 0, 2, 10}};
        fake->numbers = {2};
        fake->adapters[2].address = {0x02, 0, 0, 0, 0, 0x09};
        listTwoGateways();
        struct Case {
            QComboBox* combo;
            QStringList filled;
        };
        const Case cases[] = {{form->Edit1, {"192.0.2.10"}},
                              {form->iphinter, {"02-00-00-00-00-09"}},
                              {form->cobGateway, {"", "192.0.2.1", "192.0.2.254", "192.0.2.1"}}};
        for (const Case& c : cases) {
            for (QComboBox* combo : {form->Edit1, form->iphinter, form->cobGateway}) {
                combo->hidePopup();
                combo->clear();
            }
            c.combo->setFocus();
            QTest::keyClick(c.combo->lineEdit(), Qt::Key_Return, Qt::ControlModifier);
            QVERIFY(test::operationsIdle(form.get()));
            for (QComboBox* combo : {form->Edit1, form->iphinter, form->cobGateway})
                QCOMPARE(entries(combo), combo == c.combo ? c.filled : QStringList());
        }
        // Plain Enter in the MAC combo still runs the gateway query, not its own box.
        form->iphinter->hidePopup();
        form->iphinter->clear();
        form->cobGateway->clear();
        pressEnter(form->iphinter);
        QCOMPARE(form->iphinter->count(), 0);
        QCOMPARE(form->cobGateway->count(), 4);
    }

    void failedGatewayQueriesKeepTheList() {
        listTwoGateways();
        form->lxButton5->click();
        QVERIFY(test::operationsIdle(form.get()));
        form->cobGateway->hidePopup();
        form->cobGateway->setCurrentIndex(2);
        const QStringList before = entries(form->cobGateway);

        // The routes cannot be read: the list stays, its current text still goes to the fields.
        fake->gatewayAnswer.status = GatewayQuery::Status::RoutesUnreadable;
        setFields(QStringLiteral("old"));
        form->lxButton5->click();
        QVERIFY(test::operationsIdle(form.get()));
        QCOMPARE(entries(form->cobGateway), before);
        QCOMPARE(form->cobGateway->currentText(), QStringLiteral("192.0.2.254"));
        QVERIFY(!listIsOpen(form->cobGateway));
        expectFields(QStringLiteral("192.0.2.254"));

        // No adapters at all: nothing in the window changes.
        for (auto status : {GatewayQuery::Status::NoAdapters, GatewayQuery::Status::InterfacesUnreadable}) {
            fake->gatewayAnswer.status = status;
            setFields(QStringLiteral("old"));
            pressEnter(form->cobGateway);
            QCOMPARE(entries(form->cobGateway), before);
            QCOMPARE(form->cobGateway->currentText(), QStringLiteral("192.0.2.254"));
            expectFields(QStringLiteral("old"));
        }
    }

    void realAdaptersOfThisMachine() {
        auto system = std::shared_ptr<NetworkAdapters>(makeSystemNetworkAdapters());
        TForm1 real(Form1Services{nullptr, system});
        real.show();
        QVERIFY(QTest::qWaitForWindowExposed(&real));

        QStringList expected;
        for (const auto& address : system->ownAddresses())
            expected << QString::fromStdString(formatIpv4(address));
        for (const auto& address : system->ownIpv6Addresses())
            expected << QString::fromStdString(formatIpv6(address));
        real.lxButton3->click();
        QVERIFY(test::operationsIdle(&real));
        QCOMPARE(entries(real.Edit1), expected);
        QCOMPARE(real.editIP->text(), expected.value(0));

        real.lxButton4->click();

        QVERIFY(test::operationsIdle(&real));
        QCOMPARE(real.iphinter->count(), int(system->hardwareAdapters().size()));
        real.iphinter->hidePopup();

        const GatewayQuery query = system->gateways();
        real.Button11Click();
        QVERIFY(test::operationsIdle(&real));
        if (query.status == GatewayQuery::Status::Listed) {
            // Interfaces with IPv6 routers only follow all others.
            QStringList gateways, ipv6Only;
            for (const auto& adapter : query.adapters) {
                QStringList& list = adapter.gateways.empty() ? ipv6Only : gateways;
                for (const auto& gateway : adapter.gateways)
                    list << QString::fromStdString(gateway);
                for (const auto& gateway : adapter.ipv6Gateways)
                    list << QString::fromStdString(gateway);
            }
            gateways += ipv6Only;
            QCOMPARE(entries(real.cobGateway), gateways);
            QCOMPARE(real.edHost->text(), gateways.value(0));
        }
        QVERIFY(!test::saveScreenshot(&real, QStringLiteral("main-window-this-machine")).isEmpty());
    }
};

QTEST_MAIN(NetInfoBoxesTest)
#include "NetInfoBoxesTest.moc"
