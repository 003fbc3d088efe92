// The main window's placement: its TFormSize settings, and the place it reopens at for each user
// and computer (controls/TFormSize.h).
#include "app/TForm1.h"
#include "controls/TFormSize.h"
#include "platform/MachineIdentity.h"
#include "tests/support/FakeMachineIdentity.h"
#include "tests/support/RecordingNotifier.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace orvex;

namespace {

using FakeIdentity = test::FakeMachineIdentity;

QString readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class MainWindowPlacementTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> config;
    std::unique_ptr<test::RecordingNotifier> notices;

    QString storeFile() const { return config->path() + QStringLiteral("/orvex/FORM.INI"); }

    std::unique_ptr<TForm1> mainWindow(const char* user, const char* computer) {
        Form1Services services;
        services.identity = std::make_shared<FakeIdentity>(user, computer);
        return std::make_unique<TForm1>(std::move(services));
    }

private slots:
    void init() {
        config = std::make_unique<QTemporaryDir>();
        QVERIFY(config->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config->path()));
        notices = std::make_unique<test::RecordingNotifier>();
    }

    void cleanup() {
        QVERIFY2(notices->shown.empty(), "the placement never shows a message");
        notices.reset();
        config.reset();
    }

    void mainWindowValues() {
        auto form = mainWindow("anna", "ws1");
        TFormSize* f = form->FormSize1;
        QVERIFY(f);
        QCOMPARE(f->objectName(), QStringLiteral("FormSize1"));
        QCOMPARE(f->Location(), int(plRegistry));
        QCOMPARE(f->SaveName(), QStringLiteral(".\\FORM.INI"));
        QCOMPARE(f->SaveKey(), QStringLiteral("Orvex"));
        QVERIFY(f->SaveUser() && f->SaveMachine() && f->SavePosition());
        QVERIFY(!f->SaveSize() && !f->Magnet() && !f->DragAlways());
        QCOMPARE(f->MagnetDistance(), 32);
        QCOMPARE(f->sectionName(), QStringLiteral("Orvex-anna-ws1"));
    }

    void mainWindowReopensWhereItWasClosed() {
        {
            auto form = mainWindow("anna", "ws1");
            // First run: nothing stored, so the window system chooses the place.
            QVERIFY(!form->testAttribute(Qt::WA_Moved));
            QVERIFY(!QFile::exists(storeFile()));
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            form->move(123, 77);
            QCOMPARE(form->pos(), QPoint(123, 77));
            form->close();
            QVERIFY(!QFile::exists(storeFile())); // closing hides; the store is written at destruction
        }
        QCOMPARE(readAll(storeFile()), QStringLiteral("[Orvex-anna-ws1]\nLeft=123\nTop=77\n"));

        auto again = mainWindow("anna", "ws1");
        QCOMPARE(again->pos(), QPoint(123, 77));
        again->show();
        QVERIFY(QTest::qWaitForWindowExposed(again.get()));
        QCOMPARE(again->pos(), QPoint(123, 77));
    }

    void usersAndComputersKeepSeparatePlaces() {
        struct Run {
            const char* user;
            const char* computer;
            QPoint place;
        } runs[] = {{"anna", "ws1", {10, 20}}, {"bob", "ws1", {300, 200}}, {"anna", "ws2", {50, 60}}};
        for (const auto& run : runs) {
            auto form = mainWindow(run.user, run.computer);
            form->move(run.place);
        }
        QSettings settings(storeFile(), QSettings::IniFormat);
        QCOMPARE(settings.childGroups(),
                 (QStringList{QStringLiteral("Orvex-anna-ws1"), QStringLiteral("Orvex-anna-ws2"),
                              QStringLiteral("Orvex-bob-ws1")}));
        for (const auto& run : runs)
            QCOMPARE(mainWindow(run.user, run.computer)->pos(), run.place);
    }
};

QTEST_MAIN(MainWindowPlacementTest)
#include "MainWindowPlacementTest.moc"
