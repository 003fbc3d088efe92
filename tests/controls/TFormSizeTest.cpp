#include "controls/TFormSize.h"
#include "platform/MachineIdentity.h"
#include "tests/support/FakeMachineIdentity.h"
#include "tests/support/RecordingNotifier.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvex;

namespace {

using FakeIdentity = test::FakeMachineIdentity;

class FakeDesktop : public DesktopGeometry {
public:
    QRect desktop{0, 0, 1600, 1000};
    QRect screen{0, 0, 1600, 1000};
    QRect available{0, 0, 1600, 1000};
    bool canPlace = true;
    QRect virtualDesktop() override { return desktop; }
    QRect primaryScreen() override { return screen; }
    QRect primaryAvailable() override { return available; }
    bool canPlaceWindows() override { return canPlace; }
};

QString readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

void sendMouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TFormSizeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> config;
    std::shared_ptr<FakeDesktop> desktop;
    std::unique_ptr<test::RecordingNotifier> notices;

    QString storeFile() const { return config->path() + QStringLiteral("/orvex/FORM.INI"); }

    // A resizable window with a control that takes mouse presses, and a registry placement of its own.
    struct Plain {
        std::unique_ptr<QWidget> window;
        TFormSize* formSize = nullptr;
        QLineEdit* edit = nullptr;
    };
    Plain plainWindow(const char* user = "anna", const char* computer = "ws1") {
        Plain p;
        p.window = std::make_unique<QWidget>();
        p.window->setObjectName(QStringLiteral("Form7"));
        p.window->setGeometry(100, 100, 300, 200);
        p.edit = new QLineEdit(p.window.get());
        p.edit->setGeometry(10, 10, 100, 22);
        p.formSize = new TFormSize(p.window.get(),
                                   FormSizeServices{std::make_shared<FakeIdentity>(user, computer), desktop});
        p.formSize->setLocation(plRegistry);
        p.formSize->setSaveKey(QStringLiteral("Test"));
        p.formSize->setSaveUser(true);
        p.formSize->setSaveMachine(true);
        p.formSize->setSaveSize(false);
        return p;
    }

    void store(const QString& section, std::initializer_list<std::pair<const char*, const char*>> values) {
        QSettings settings(storeFile(), QSettings::IniFormat);
        for (const auto& [name, value] : values)
            settings.setValue(section + QLatin1Char('/') + QLatin1String(name), QString::fromLatin1(value));
    }

private slots:
    void init() {
        config = std::make_unique<QTemporaryDir>();
        QVERIFY(config->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config->path()));
        desktop = std::make_shared<FakeDesktop>();
        notices = std::make_unique<test::RecordingNotifier>();
    }

    void cleanup() {
        QVERIFY2(notices->shown.empty(), "the placement never shows a message");
        notices.reset();
        config.reset();
    }

    void constructionRejectsOwnersThatAreNotWindows() {
        QObject plainObject;
        QWidget window;
        auto* child = new QWidget(&window);
        for (QObject* owner : {static_cast<QObject*>(nullptr), &plainObject, static_cast<QObject*>(child)}) {
            try {
                TFormSize formSize(owner);
                QFAIL("constructed on an owner that is not a window");
            } catch (const EFormSizeError& e) {
                QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Control parent must be a form!"));
            }
        }
        QVERIFY(window.findChildren<TFormSize*>().isEmpty());
    }

    void constructionRejectsASecondComponent() {
        QWidget window;
        auto* first = new TFormSize(&window);
        try {
            new TFormSize(&window);
            QFAIL("a second TFormSize was constructed");
        } catch (const EFormSizeError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("The form already contains a TFormSize component"));
        }
        QCOMPARE(window.findChildren<TFormSize*>(), QList<TFormSize*>{first});
    }

    void constructionValues() {
        QWidget window;
        window.setObjectName(QStringLiteral("Form9"));
        TFormSize* f = new TFormSize(&window);
        QCOMPARE(f->Location(), int(plIniFile));
        QCOMPARE(f->SaveName(), QStringLiteral(".\\FORM.INI"));
        QCOMPARE(f->SaveKey(), QStringLiteral("Form9"));
        QCOMPARE(f->SaveUser(), false);
        QCOMPARE(f->SaveMachine(), false);
        QCOMPARE(f->SavePosition(), true);
        QCOMPARE(f->SaveSize(), true);
        QCOMPARE(f->Magnet(), false);
        QCOMPARE(f->MagnetDistance(), 32);
        QCOMPARE(f->DragAlways(), false);
        QCOMPARE(f->Version(), QStringLiteral("1.3.0.0"));
        QVERIFY(f->setProperty("Version", QStringLiteral("2.0")));
        QCOMPARE(f->property("Version").toString(), QStringLiteral("1.3.0.0"));
    }

    void loadHoldsTheWindowToTheReportedDesktop() {
        // The frame is 300 x 200 before the window is shown; the fake desktop is 1600 x 1000.
        store(QStringLiteral("Test-anna-ws1"), {{"Left", "1500"}, {"Top", "-30"}, {"Right", "999"}});
        Plain p = plainWindow();
        p.formSize->Loaded();
        QCOMPARE(p.window->pos(), QPoint(1300, -30));
        QCOMPARE(p.window->size(), QSize(300, 200)); // size values are not used without SaveSize
    }

    void corruptStoreCountsAsNothingStored() {
        writeFile(storeFile(), QByteArray("\x00\xff[[[Test-anna-ws1\nLeft=5\n\x01", 27));
        Plain p = plainWindow();
        p.formSize->Loaded();
        QCOMPARE(p.window->pos(), QPoint(100, 100));
    }

    void leftoverMaximizedStillMaximizes() {
        store(QStringLiteral("Test-anna-ws1"), {{"Left", "40"}, {"Top", "60"}, {"Maximized", "1"}});
        Plain p = plainWindow();
        p.formSize->Loaded();
        QVERIFY(p.window->isMaximized());
        QCOMPARE(p.window->geometry(), QRect(0, 0, 1600, 1000));
        // A window of one fixed size keeps it and its normal state; it moves to the corner.
        Plain fixed = plainWindow();
        fixed.window->setFixedSize(fixed.window->size());
        fixed.formSize->Loaded();
        QVERIFY(!fixed.window->isMaximized());
        QCOMPARE(fixed.window->pos(), QPoint(0, 0));
    }

    void saveWithSizeWritesTheNormalRectangle() {
        {
            Plain p = plainWindow();
            p.formSize->setSaveSize(true);
            p.formSize->Loaded();
            p.window->setGeometry(200, 150, 400, 250);
            p.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(p.window.get()));
            const QRect frame = p.window->frameGeometry();
            p.window.reset();
            QSettings settings(storeFile(), QSettings::IniFormat);
            settings.beginGroup(QStringLiteral("Test-anna-ws1"));
            QCOMPARE(settings.childKeys(), (QStringList{"Bottom", "Left", "Maximized", "Right", "Top"}));
            QCOMPARE(settings.value("Left").toString(), QString::number(frame.left()));
            QCOMPARE(settings.value("Top").toString(), QString::number(frame.top()));
            QCOMPARE(settings.value("Right").toString(), QString::number(frame.left() + frame.width()));
            QCOMPARE(settings.value("Bottom").toString(), QString::number(frame.top() + frame.height()));
            QCOMPARE(settings.value("Maximized").toString(), QStringLiteral("0"));
        }
        // ...and a new window comes back in the same frame.
        Plain again = plainWindow();
        again.formSize->setSaveSize(true);
        again.formSize->Loaded();
        again.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(again.window.get()));
        QCOMPARE(again.window->geometry(), QRect(200, 150, 400, 250));
    }

    void emptyNameOrKeySwitchesStoringOff() {
        for (int which = 0; which < 2; ++which) {
            Plain p = plainWindow();
            if (which == 0)
                p.formSize->setSaveName(QString());
            else
                p.formSize->setSaveKey(QString());
            p.formSize->Loaded();
            p.window->move(7, 7);
        }
        QVERIFY(!QFile::exists(storeFile()));
    }

    void iniFileLocationIsRelativeToTheCurrentDirectory() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(config->path()));
        {
            Plain p = plainWindow();
            p.formSize->setLocation(plIniFile);
            p.formSize->setSaveName(QStringLiteral("sub\\place.ini"));
            p.window->move(31, 41);
        }
        QDir::setCurrent(previous);
        QCOMPARE(readAll(config->path() + QStringLiteral("/sub/place.ini")),
                 QStringLiteral("[Test-anna-ws1]\nLeft=31\nTop=41\n"));
        QVERIFY(!QFile::exists(storeFile()));
    }

    void saveKeepsEverythingElseAndReplacesTheFileWhole() {
        store(QStringLiteral("Other-app"), {{"Left", "1"}, {"Colour", "blue"}});
        store(QStringLiteral("Test-anna-ws1"), {{"Left", "5"}, {"Top", "6"}, {"Extra", "kept"}});
        const ino_t before = inodeOf(storeFile());
        QVERIFY(before != 0);
        const QByteArray path = QFile::encodeName(storeFile());
        QCOMPARE(::chmod(path.constData(), 0664), 0); // wider than the umask would give
        {
            Plain p = plainWindow();
            p.window->move(70, 80);
        }
        // Written beside and renamed over: a crash mid-write cannot leave half a file.
        QVERIFY(inodeOf(storeFile()) != before);
        struct stat info {};
        QCOMPARE(::stat(path.constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0664)); // the replacement keeps the permission bits
        QSettings settings(storeFile(), QSettings::IniFormat);
        QCOMPARE(settings.value("Other-app/Colour").toString(), QStringLiteral("blue"));
        QCOMPARE(settings.value("Other-app/Left").toString(), QStringLiteral("1"));
        QCOMPARE(settings.value("Test-anna-ws1/Extra").toString(), QStringLiteral("kept"));
        QCOMPARE(settings.value("Test-anna-ws1/Left").toString(), QStringLiteral("70"));
        QCOMPARE(settings.value("Test-anna-ws1/Top").toString(), QStringLiteral("80"));
    }

    void unwritableStoreIsLeftAloneWithoutAMessage() {
        // The store's folder is taken by a file, so nothing can be written there (even as root).
        writeFile(config->path() + QStringLiteral("/orvex"), "not a folder");
        {
            Plain p = plainWindow();
            p.window->move(70, 80);
        }
        QCOMPARE(readAll(config->path() + QStringLiteral("/orvex")), QStringLiteral("not a folder"));
        // cleanup() checks that no message was shown.
    }

    void storeThatIsNoRegularFileIsNeitherReadNorReplaced() {
        const struct {
            const char* what;
            std::function<void(const QByteArray& store)> make;
            mode_t kind;
        } cases[] = {
            {"FIFO", [](const QByteArray& store) { QCOMPARE(::mkfifo(store.constData(), 0600), 0); },
             S_IFIFO},
            {"folder", [](const QByteArray& store) { QVERIFY(QDir().mkpath(QFile::decodeName(store))); },
             S_IFDIR},
            {"link to a device",
             [](const QByteArray& store) { QCOMPARE(::symlink("/dev/null", store.constData()), 0); },
             S_IFCHR},
            {"link to a FIFO",
             [](const QByteArray& store) {
                 const QByteArray fifo = store + ".fifo";
                 QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
                 QCOMPARE(::symlink(fifo.constData(), store.constData()), 0);
             },
             S_IFIFO},
        };
        for (const auto& c : cases) {
            init();
            const QByteArray store = QFile::encodeName(storeFile());
            QDir().mkpath(config->path() + QStringLiteral("/orvex"));
            c.make(store);
            // Opening a FIFO for reading blocks until a writer comes: fail loudly instead of hanging.
            ::alarm(30);
            {
                Plain p = plainWindow();
                p.formSize->Loaded();
                QVERIFY2(p.window->pos() == QPoint(100, 100), c.what);
                p.window->move(70, 80);
            } // the save is skipped, and the window still goes
            ::alarm(0);
            struct stat info {};
            QCOMPARE(::stat(store.constData(), &info), 0);
            QVERIFY2((info.st_mode & S_IFMT) == c.kind, c.what);
        }
    }

    void storeBehindALinkIsFollowedAndKeepsItsPermissions() {
        const QString target = config->path() + QStringLiteral("/dotfiles/form.ini");
        writeFile(target, "[Test-anna-ws1]\nLeft=40\nTop=60\n");
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0600), 0);
        QDir().mkpath(config->path() + QStringLiteral("/orvex"));
        QVERIFY(QFile::link(target, storeFile()));
        {
            Plain p = plainWindow();
            p.formSize->Loaded();
            QCOMPARE(p.window->pos(), QPoint(40, 60));
            p.window->move(70, 80);
        }
        QCOMPARE(QFileInfo(storeFile()).symLinkTarget(), target);
        QCOMPARE(readAll(target), QStringLiteral("[Test-anna-ws1]\nLeft=70\nTop=80\n"));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
    }

    void storedExtremesGivePlacesOnTheDesktop() {
        const struct {
            const char* left;
            const char* top;
            QPoint place;
            const char* saved; // what the next save writes back
        } cases[] = {
            {"-2147483648", "2147483647", {0, 800}, "Left=0\nTop=800\n"},
            {"2147483647", "-2147483648", {1300, 0}, "Left=1300\nTop=0\n"},
            {"99999999999999999999", "-0x10", {100, 100}, "Left=100\nTop=100\n"},
        };
        for (const auto& c : cases) {
            init();
            store(QStringLiteral("Test-anna-ws1"), {{"Left", c.left}, {"Top", c.top}});
            {
                Plain p = plainWindow();
                p.formSize->Loaded();
                QCOMPARE(p.window->pos(), c.place);
            }
            QCOMPARE(readAll(storeFile()), QStringLiteral("[Test-anna-ws1]\n") + QLatin1String(c.saved));
        }
    }

    void positionIsNeitherAppliedNorStoredWhereWindowsCannotBePlaced() {
        store(QStringLiteral("Test-anna-ws1"), {{"Left", "40"}, {"Top", "60"}});
        desktop->canPlace = false;
        {
            Plain p = plainWindow();
            p.formSize->setSaveSize(true);
            p.formSize->Loaded();
            QCOMPARE(p.window->pos(), QPoint(100, 100));
            p.window->setGeometry(0, 0, 500, 400);
        }
        QSettings settings(storeFile(), QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("Test-anna-ws1"));
        QCOMPARE(settings.value("Left").toString(), QStringLiteral("40"));
        QCOMPARE(settings.value("Top").toString(), QStringLiteral("60"));
        QCOMPARE(settings.value("Right").toString(), QStringLiteral("540"));
        QCOMPARE(settings.value("Bottom").toString(), QStringLiteral("460"));
    }

    void magnetKeepsTheWindowOffThePanel() {
        desktop->screen = QRect(0, 0, 1600, 1000);
        desktop->available = QRect(0, 0, 1600, 960); // a 40-px panel at the bottom
        Plain p = plainWindow();
        p.formSize->setMagnet(true);
        p.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.window.get()));
        const int height = p.window->frameGeometry().height();

        struct Move {
            QPoint to;
            QPoint expected;
        } moves[] = {
            {{400, 960 - height - 31}, {400, 960 - height}}, // bottom edge rests on the panel's top
            {{400, 960 - height - 40}, {400, 960 - height - 40}},
            {{20, 300}, {0, 300}},
            {{400, 900}, {400, 960 - height}},
        };
        for (const auto& m : moves) {
            p.window->move(m.to);
            QTRY_COMPARE(p.window->pos(), m.expected);
        }
        p.formSize->setMagnet(false);
        p.window->move(20, 300);
        QCOMPARE(p.window->pos(), QPoint(20, 300));
    }

    void dragAlwaysMovesTheWindowFromItsClientArea() {
        Plain p = plainWindow();
        p.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.window.get()));
        const QPoint start = p.window->pos();
        const QPoint grip(150, 120); // empty client area

        // Off: a press on the client area does nothing.
        sendMouse(p.window.get(), QEvent::MouseButtonPress, grip, Qt::LeftButton);
        sendMouse(p.window.get(), QEvent::MouseMove, grip + QPoint(30, 40), Qt::LeftButton);
        sendMouse(p.window.get(), QEvent::MouseButtonRelease, grip + QPoint(30, 40), Qt::NoButton);
        QCOMPARE(p.window->pos(), start);

        p.formSize->setDragAlways(true);
        sendMouse(p.window.get(), QEvent::MouseButtonPress, grip, Qt::LeftButton);
        sendMouse(p.window.get(), QEvent::MouseMove, grip + QPoint(30, 40), Qt::LeftButton);
        QCOMPARE(p.window->pos(), start + QPoint(30, 40));
        sendMouse(p.window.get(), QEvent::MouseButtonRelease, grip, Qt::NoButton);
        // After the release the mouse no longer drags.
        sendMouse(p.window.get(), QEvent::MouseMove, grip + QPoint(90, 90), Qt::NoButton);
        QCOMPARE(p.window->pos(), start + QPoint(30, 40));

        // A control that takes the press keeps it: typing fields are not grips.
        sendMouse(p.edit, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
        sendMouse(p.edit, QEvent::MouseMove, QPoint(50, 50), Qt::LeftButton);
        sendMouse(p.edit, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::NoButton);
        QCOMPARE(p.window->pos(), start + QPoint(30, 40));
    }
};

QTEST_MAIN(TFormSizeTest)
#include "TFormSizeTest.moc"
