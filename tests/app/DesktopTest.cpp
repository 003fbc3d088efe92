// The windows under what a Linux desktop may bring: a dark palette, a large desktop font, and
// assistive technology reading them through Qt's accessibility interfaces.
#include "app/Application.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "app/TStatusBar.h"
#include "controls/Fonts.h"
#include "controls/FramedGroupBox.h"
#include "controls/TColor.h"
#include "controls/TSpinEdit.h"
#include "controls/TTextView.h"
#include "controls/TlxButton.h"
#include "net/TNxIcmpClient.h"
#include "platform/ConnectionState.h"
#include "tcphistory/TForm3.h"
#include "tests/support/FakeWinsock.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/Screenshot.h"
#include "web/TForm4.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QStyleFactory>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QtGui/private/qguiapplication_p.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using namespace orvex;

namespace {

class Online : public ConnectionState {
public:
    bool isConnected() override { return true; }
};

QPalette darkPalette() {
    QPalette dark;
    const QColor window(45, 45, 45), base(30, 30, 30), light(235, 235, 235);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, light);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, light);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, light);
    dark.setColor(QPalette::Light, QColor(90, 90, 90));
    dark.setColor(QPalette::Midlight, QColor(70, 70, 70));
    dark.setColor(QPalette::Dark, QColor(20, 20, 20));
    dark.setColor(QPalette::Mid, QColor(35, 35, 35));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    return dark;
}

// Pixels in `area` that stand far from the area's most common colour (its background): the strokes
// of a text that can be read.
int contrastingPixels(const QImage& image, QRect area) {
    const qreal ratio = image.devicePixelRatio(); // area is in logical pixels
    area = QRectF(area.topLeft() * ratio, area.size() * ratio).toAlignedRect() & image.rect();
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    QRgb background = 0;
    int most = 0;
    for (const auto& [colour, count] : counts)
        if (count > most) most = count, background = colour;
    int contrasting = 0;
    for (const auto& [colour, count] : counts) {
        const int distance = std::abs(qRed(colour) - qRed(background)) +
                             std::abs(qGreen(colour) - qGreen(background)) +
                             std::abs(qBlue(colour) - qBlue(background));
        if (distance > 300) contrasting += count;
    }
    return contrasting;
}

// Switches Qt's accessibility on or off, as a screen reader's arrival or departure does; events reach
// the update handler only while it is on.
void setAccessibilityActive(bool on) {
    if (QPlatformAccessibility* platform = QGuiApplicationPrivate::platformIntegration()->accessibility())
        platform->setActive(on);
}

// Accessibility events as a platform bridge would receive them.
struct SeenEvent {
    QAccessible::Event type;
    QObject* object;
    int firstRow = -1, lastRow = -1;
};
std::vector<SeenEvent> seenEvents;

void recordEvent(QAccessibleEvent* event) {
    SeenEvent seen{event->type(), event->object()};
    if (event->type() == QAccessible::TableModelChanged) {
        auto* change = static_cast<QAccessibleTableModelChangeEvent*>(event);
        if (change->modelChangeType() == QAccessibleTableModelChangeEvent::RowsInserted) {
            seen.firstRow = change->firstRow();
            seen.lastRow = change->lastRow();
        }
    }
    seenEvents.push_back(seen);
}

int countEvents(QAccessible::Event type, const QObject* object) {
    return int(std::count_if(seenEvents.begin(), seenEvents.end(),
                             [&](const SeenEvent& e) { return e.type == type && e.object == object; }));
}

// `inner` of control, in the coordinates of its window's image.
QRect inWindow(const QWidget* control, QRect inner) {
    return inner.translated(control->mapTo(control->window(), QPoint(0, 0)));
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ScopedFakeWinsock> winsock;
    std::unique_ptr<test::RecordingNotifier> notices;
    Windows windows;
    TForm1* form = nullptr;

    void create() {
        windows = createWindows(Form1Services{std::make_shared<Online>()});
        form = windows.Form1.get();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    // Screenshots taken at another pixel ratio get names of their own.
    static QString screenshotName(const QString& name) {
        const qreal ratio = qGuiApp->devicePixelRatio();
        return ratio > 1 ? name + QStringLiteral("-scale%1").arg(ratio) : name;
    }

    QImage shown(QWidget* window, const QString& screenshot) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window)) return {};
        window->repaint();
        if (test::saveScreenshot(window, screenshotName(screenshot)).isEmpty()) return {};
        return window->grab().toImage();
    }

private slots:
    void init() {
        winsock = std::make_unique<test::ScopedFakeWinsock>();
        notices = std::make_unique<test::RecordingNotifier>();
    }

    void cleanup() {
        windows = Windows{};
        form = nullptr;
        notices.reset();
        winsock.reset();
        QApplication::setPalette(QApplication::style()->standardPalette());
        QApplication::setFont(QFont());
    }

    void everyCaptionReadableUnderADarkPalette() {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
        create();
        form->StatusBar1->setPanelText(2, QStringLiteral("proxy.example:3128"));
        form->Timer1->stop(); // the clock's text stays as grabbed
        form->Timer2->stop();
        form->Timer1Timer();

        struct Caption {
            const QWidget* control;
            QRect area; // in the control; where its text stands, clear of frames and corners
        };
        auto buttonFace = [](const TlxButton* b) { return QRect(10, 3, b->width() - 20, b->height() - 6); };
        auto titleStrip = [](const QGroupBox* box) { return QRect(4, 0, box->width() - 8, 13); };
        auto panelInside = [](const QLabel* panel) { return panel->rect().adjusted(2, 2, -2, -2); };
        auto check = [&](QWidget* window, const QString& name, const std::vector<Caption>& captions) {
            const QImage image = shown(window, QStringLiteral("dark-palette-") + name);
            QVERIFY(!image.isNull());
            for (const Caption& c : captions) {
                const int pixels = contrastingPixels(image, inWindow(c.control, c.area));
                QVERIFY2(pixels >= 8, qPrintable(QStringLiteral("%1: %2 has %3 contrasting pixels")
                                                     .arg(name, c.control->objectName())
                                                     .arg(pixels)));
            }
        };

        std::vector<Caption> main;
        for (QGroupBox* box : {form->GroupBox1, form->GroupBox2, form->GroupBox3, form->GroupBox4,
                               form->GroupBox5, form->GroupBox6, form->GroupBox7})
            main.push_back({box, titleStrip(box)});
        for (TlxButton* b : {form->lxButton1, form->lxButton2, form->lxButton3, form->lxButton4,
                             form->lxButton5, form->lxButton6, form->PingButton})
            main.push_back({b, buttonFace(b)});
        for (int panel = 0; panel < 3; ++panel)
            main.push_back({form->StatusBar1->panel(panel), panelInside(form->StatusBar1->panel(panel))});
        check(form, QStringLiteral("main-window"), main);

        TForm3* history = form->Form3;
        QHeaderView* titles = history->sgConnHist->horizontalHeader();
        check(history, QStringLiteral("history-window"),
              {{history->stStart, titleStrip(history->stStart)},
               {history->cbShowListeners, history->cbShowListeners->rect().adjusted(18, 0, 0, 0)},
               {titles, titles->rect().adjusted(2, 2, -2, -2)},
               {history->lxButton2, buttonFace(history->lxButton2)},
               {history->sbClear, buttonFace(history->sbClear)},
               {history->lxButton1, buttonFace(history->lxButton1)}});
        history->hide();

        TForm4* rank = form->Form4;
        check(
            rank, QStringLiteral("pagerank-window"),
            {{rank->GroupBox6, titleStrip(rank->GroupBox6)}, {rank->lxButton8, buttonFace(rank->lxButton8)}});
        rank->hide();

        TForm5* notice = form->Form5;
        check(notice, QStringLiteral("trademark-notice"),
              {{notice->Memo1, notice->Memo1->rect().adjusted(12, 2, -2, -2)},
               {notice->PingButton, buttonFace(notice->PingButton)}});
        notice->PingButton->click();

        TForm2* about = form->Form2;
        QLabel* version = about->findChild<QLabel*>(QStringLiteral("Label1"));
        QVERIFY(version);
        check(about, QStringLiteral("about-window"), {{version, version->rect()}});
        about->hide();
    }

    // The reply list's and the history grid's frames keep all four lines at this run's pixel ratio
    // (the tests also run at 1.5 and 2); at fractional ratios lines fell where the rounded clip or
    // the viewport covers them.
    void listAndGridFramesKeepEveryLine() {
        create();
        for (QAbstractScrollArea* area :
             std::initializer_list<QAbstractScrollArea*>{form->lstReplies, form->Form3->sgConnHist}) {
            QWidget* window = area->window();
            const QImage image = shown(window, QStringLiteral("frame-lines-") + window->objectName());
            QVERIFY(!image.isNull());
            const qreal ratio = image.devicePixelRatio();
            // Whether any device pixel of the logical pixel (x, y) stands out from the white around.
            auto drawn = [&](int x, int y) {
                for (int dy = int(std::floor(y * ratio)); dy < int(std::ceil((y + 1) * ratio)); ++dy)
                    for (int dx = int(std::floor(x * ratio)); dx < int(std::ceil((x + 1) * ratio)); ++dx) {
                        const QRgb c = image.pixel(dx, dy);
                        if (765 - qRed(c) - qGreen(c) - qBlue(c) > 60) return true;
                    }
                return false;
            };
            const QRect r = inWindow(area, area->rect());
            for (int y = r.top() + 3; y <= r.bottom() - 3; ++y)
                for (int x : {r.left(), r.right()})
                    QVERIFY2(drawn(x, y), qPrintable(QStringLiteral("%1: no frame line at (%2, %3)")
                                                         .arg(area->objectName())
                                                         .arg(x)
                                                         .arg(y)));
            for (int x = r.left() + 3; x <= r.right() - 3; ++x)
                for (int y : {r.top(), r.bottom()})
                    QVERIFY2(drawn(x, y), qPrintable(QStringLiteral("%1: no frame line at (%2, %3)")
                                                         .arg(area->objectName())
                                                         .arg(x)
                                                         .arg(y)));
            window->hide();
        }
    }

    // The main window's boxes once had their look from a style sheet; drawn by the box itself they
    // must stay the same to the pixel, at this run's ratio, under a light and a dark palette,
    // enabled and disabled, with the fields inside shaded from the desktop's colours as before.
    void framedBoxesLookAsTheirStyleSheetDrewThem() {
        loadWindowsFonts();
        const QString sheet = QStringLiteral(
            "QGroupBox { border: 1px solid #d5dfe5; border-radius: 3px; margin-top: 6px; background: "
            "transparent; }"
            "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 5px; top: "
            "-1px;"
            " padding: 0px 1px; color: #0046d5; }");
        for (const QPalette& palette : {QApplication::style()->standardPalette(), darkPalette()}) {
            QApplication::setPalette(palette);
            QImage images[2];
            for (int framed = 0; framed < 2; ++framed) {
                QWidget face;
                face.resize(392, 100);
                face.setAutoFillBackground(true);
                setFixedFace(&face, Qt::white);
                if (!framed) face.setStyleSheet(sheet);
                const QString captions[] = {QStringLiteral("IP to Hostname"), QStringLiteral("Ping")};
                for (int i = 0; i < 2; ++i) {
                    QGroupBox* box =
                        framed ? new FramedGroupBox(captions[i], &face) : new QGroupBox(captions[i], &face);
                    box->setGeometry(8 + 192 * i, 5, 185, 73);
                    box->setFont(pixelFont(QStringLiteral("Tahoma"), 12));
                    auto* field = new QLineEdit(box);
                    field->setGeometry(9, 21, 168, 22);
                    field->setFocusPolicy(Qt::NoFocus); // no blinking cursor in the images
                    box->setEnabled(i == 0);
                    if (framed) QCOMPARE(box->contentsRect(), QRect(1, 7, 183, 65));
                }
                face.show();
                QVERIFY(QTest::qWaitForWindowExposed(&face));
                images[framed] = face.grab().toImage();
            }
            QCOMPARE(images[1], images[0]);
        }
    }

    // The desktop changes only its window colours while the program runs: the fields in the boxes,
    // shaded from them, follow.
    void framedBoxesFollowADesktopChangingOnlyItsWindowColours() {
        QWidget face;
        setFixedFace(&face, Qt::white);
        auto* field = new QLineEdit(new FramedGroupBox(QStringLiteral("Ping"), &face));
        face.ensurePolished();
        QPalette changed = QApplication::palette();
        changed.setColor(QPalette::Window, QColor(200, 30, 30));
        changed.setColor(QPalette::WindowText, QColor(30, 200, 30));
        QApplication::setPalette(changed);
        QCoreApplication::sendPostedEvents();
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText})
            QCOMPARE(field->palette().color(role), changed.color(role));
    }

    void fieldsTakeTheirBoxFontWhateverTheDesktopFont() {
        // A large desktop font, for every widget and, as some desktops set it, per class.
        QFont large(QStringLiteral("DejaVu Sans"), 14);
        QApplication::setFont(large);
        QApplication::setFont(large, "QLineEdit");
        QApplication::setFont(large, "QComboBox");
        QApplication::setFont(large, "QComboLineEdit");
        create();
        const QString mac = QStringLiteral("00-1A-2B-3C-4D-5E");
        auto verifyFields = [&] {
            for (QWidget* field : std::initializer_list<QWidget*>{
                     form->editIP, form->editHost, form->iphinter, form->edHost, form->SpinEdit1,
                     form->Edit10, form->Edit1, form->cobGateway, form->Form4->Edit3}) {
                const QFont box = field->parentWidget()->font();
                QCOMPARE(field->font().family(), box.family());
                QCOMPARE(field->font().pixelSize(), box.pixelSize());
                QCOMPARE(field->font().pixelSize(), 12);
                auto* line = qobject_cast<QLineEdit*>(field);
                if (auto* combo = qobject_cast<QComboBox*>(field)) line = combo->lineEdit();
                QVERIFY(line);
                line->setText(line == form->SpinEdit1 ? QStringLiteral("1000") : mac);
                const QFontMetrics metrics(line->font());
                const QRect text = line->rect().marginsRemoved(line->textMargins()).adjusted(2, 1, -2, -1);
                QVERIFY2(metrics.height() <= text.height(), qPrintable(field->objectName()));
                QVERIFY2(metrics.horizontalAdvance(line->text()) <= text.width(),
                         qPrintable(field->objectName()));
            }
            for (const QLabel* panel : {form->StatusBar1->panel(0), form->StatusBar1->panel(1)})
                QCOMPARE(panel->font().pixelSize(), 11);
            // The lists the combos drop down hold 14-pixel entries in the box's font.
            for (QComboBox* combo : {form->iphinter, form->Edit1, form->cobGateway})
                QCOMPARE(combo->view()->font().pixelSize(), 12);
        };
        verifyFields();
        // The desktop's font changes while the program runs.
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 16));
        verifyFields();
        QVERIFY(!test::saveScreenshot(form, screenshotName(QStringLiteral("large-desktop-font-main-window")))
                     .isEmpty());
    }

    void controlsHaveRolesAndNames() {
        create();
        struct Expected {
            QObject* control;
            QAccessible::Role role;
            QString name;
        };
        const Expected expected[] = {
            {form->editIP, QAccessible::EditableText, QStringLiteral("IP to Hostname")},
            {form->iphinter, QAccessible::ComboBox, QStringLiteral("Mac-Adresse")},
            {form->edHost, QAccessible::EditableText, QStringLiteral("Ping-Ziel")},
            {form->SpinEdit1, QAccessible::EditableText, QStringLiteral("Anzahl")},
            {form->SpinEdit1->upButton(), QAccessible::Button, QString::fromUtf8("Erhöhen")},
            {form->SpinEdit1->downButton(), QAccessible::Button, QStringLiteral("Verringern")},
            {form->lstReplies, QAccessible::List, QStringLiteral("Ping-Antworten")},
            {form->lxButton3, QAccessible::Button, QStringLiteral("OK")},
            {form->StatusBar1, QAccessible::StatusBar, QStringLiteral("Statusleiste")},
            {form->StatusBar1->panel(0), QAccessible::StaticText, QStringLiteral("Verbindung")},
            {form->StatusBar1->panel(1), QAccessible::StaticText, QStringLiteral("Uhrzeit")},
            {form->StatusBar1->panel(2), QAccessible::StaticText, QStringLiteral("Proxy")},
            {form->Form3->sgConnHist, QAccessible::Table, QStringLiteral("TCP-Verbindungen")},
            {form->Form3->sbClear, QAccessible::Button, QString::fromUtf8("History löschen")},
            {form->Form4->Edit3, QAccessible::EditableText, QStringLiteral("Webadresse")},
            {form->Form4->Edit4, QAccessible::EditableText, QStringLiteral("Pagerank")},
            {form->Form5->PingButton, QAccessible::Button, QStringLiteral("Okay")},
        };
        for (const Expected& e : expected) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(e.control);
            QVERIFY2(iface, qPrintable(e.control->objectName()));
            QCOMPARE(iface->role(), e.role);
            QCOMPARE(iface->text(QAccessible::Name), e.name);
        }
        QAccessibleInterface* ok = QAccessible::queryAccessibleInterface(form->lxButton3);
        QCOMPARE(ok->text(QAccessible::Description), QStringLiteral("Lokale IP-Adresse"));
        // Every field of the Tab chain has a name of its own.
        QSet<QString> names;
        for (QWidget* field : std::initializer_list<QWidget*>{form->editIP, form->editHost, form->iphinter,
                                                              form->edHost, form->SpinEdit1, form->lstReplies,
                                                              form->Edit10, form->Edit1, form->cobGateway})
            names << QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name);
        QCOMPARE(names.size(), 9);
        QVERIFY(!names.contains(QString()));

        // A status panel keeps its name; its text is its value and its text.
        QAccessibleInterface* connection = QAccessible::queryAccessibleInterface(form->StatusBar1->panel(0));
        QCOMPARE(connection->text(QAccessible::Value), QStringLiteral("Online"));
        QCOMPARE(connection->textInterface()->text(0, connection->textInterface()->characterCount()),
                 QStringLiteral("Online"));
    }

    void clockChangesItsValueNeverItsName() {
        create();
        setAccessibilityActive(true);
        seenEvents.clear();
        const auto previous = QAccessible::installUpdateHandler(recordEvent);
        QLabel* clock = form->StatusBar1->panel(1);
        const QString first = form->StatusBar1->panelText(1);
        QTRY_VERIFY_WITH_TIMEOUT(form->StatusBar1->panelText(1) != first, 2500);
        QAccessible::installUpdateHandler(previous);
        setAccessibilityActive(false);
        QCOMPARE(countEvents(QAccessible::NameChanged, clock), 0);
        QVERIFY(countEvents(QAccessible::ValueChanged, clock) >= 1);
    }

    void aNewPingLineRaisesRowInserted() {
        create();
        setAccessibilityActive(true);
        seenEvents.clear();
        const auto previous = QAccessible::installUpdateHandler(recordEvent);
        TReplyStatus timeout;
        timeout.Outcome = TReplyOutcome::roTimedOut;
        form->ICMPReply(*form->ICMP, timeout);
        form->ICMPReply(*form->ICMP, timeout);
        QAccessible::installUpdateHandler(previous);
        setAccessibilityActive(false);
        QCOMPARE(form->lstReplies->count(), 2);
        std::vector<int> inserted;
        for (const SeenEvent& e : seenEvents)
            if (e.object == form->lstReplies && e.firstRow >= 0) inserted.push_back(e.firstRow);
        QCOMPARE(inserted, (std::vector<int>{0, 1}));
    }

    void pressReturnsBeforeTheBoxItOpensIsClosed() {
        create();
        bool pressReturned = false;
        bool returnedBeforeTheBox = false;
        notices->onShow = [&](const test::ShownBox&) { returnedBeforeTheBox = pressReturned; };
        form->editIP->clear();
        QAccessibleInterface* ok = QAccessible::queryAccessibleInterface(form->lxButton1);
        ok->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        pressReturned = true;
        QTRY_COMPARE(notices->shown.size(), std::size_t(1));
        QVERIFY(returnedBeforeTheBox);
        QCOMPARE(notices->shown[0].text,
                 QStringLiteral("Bitte erst eine IP-Adresse eintragen: z.B. 192.168.178.1"));
    }

    void desktopFontSizesGiveTheirScale() {
        struct Case {
            QFont font;
            qreal scale;
        };
        auto pixels = [](int size) {
            QFont font;
            font.setPixelSize(size);
            return font;
        };
        const Case cases[] = {{QFont(QString(), 9), 1.0},   {QFont(QString(), 11), 1.0},
                              {QFont(QString(), 12), 1.0},  {QFont(QString(), 13), 1.25},
                              {QFont(QString(), 14), 1.25}, {QFont(QString(), 16), 1.5},
                              {QFont(QString(), 22), 2.0},  {pixels(24), 1.75}};
        for (const Case& c : cases)
            QCOMPARE(desktopTextScale(c.font), c.scale);
    }

    // Run with a 16 pt desktop font set through Qt's platform theme (qt6ct; the CTest
    // app_desktop_tests_large_text): the whole window is drawn 1.5 times larger, its layout intact.
    void aLargeDesktopFontScalesTheWholeWindow() {
        if (QFontDatabase::systemFont(QFontDatabase::GeneralFont).pointSizeF() < 16)
            QSKIP("no 16 pt desktop font here (app_desktop_tests_large_text sets one through qt6ct)");
        create();
        QCOMPARE(qGuiApp->devicePixelRatio(), 1.5);
        QCOMPARE(form->client->size(), QSize(392, 448));
        QCOMPARE(form->GroupBox4->geometry(), QRect(8, 245, 377, 180));
        form->edHost->setText(QStringLiteral("127.0.0.1"));
        form->lstReplies->addItem(QStringLiteral("72 bytes - icmp_seq=3489 - ttl=64 - time<1 ms"));
        for (QWidget* window : std::initializer_list<QWidget*>{form, form->Form4, form->Form2}) {
            const QImage image = shown(window, QStringLiteral("large-text-") + window->objectName());
            QCOMPARE(image.size(), window->size() * 1.5); // drawn at the larger size, not stretched
            if (window != form) window->hide();
        }
    }

    void bitmapFacesGiveWayToScalableOnesAboveRatioOne() {
        loadWindowsFonts();
        QCOMPARE(scalableFace(QStringLiteral("MS Sans Serif"), 1.0), QStringLiteral("MS Sans Serif"));
        const QString scaled = scalableFace(QStringLiteral("MS Sans Serif"), 2.0);
        QVERIFY(scaled == QStringLiteral("Tahoma") || scaled == QStringLiteral("Liberation Sans"));
        QCOMPARE(scalableFace(QStringLiteral("MS Sans Serif"), 1.5), scaled);
        QCOMPARE(scalableFace(QStringLiteral("Arial"), 2.0), QStringLiteral("Arial"));

        // The notice's "Okay" at this run's pixel ratio (the tests also run at ratio 2).
        create();
        const qreal ratio = qGuiApp->devicePixelRatio();
        const QFont okay = form->Form5->PingButton->font();
        QCOMPARE(okay.family(), ratio > 1 ? scaled : QStringLiteral("MS Sans Serif"));
        QCOMPARE(okay.pixelSize(), 11);
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
