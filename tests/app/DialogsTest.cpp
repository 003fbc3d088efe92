#include "app/Application.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "app/UrlOpener.h"
#include "controls/TMTranBtn.h"
#include "controls/TTextView.h"
#include "controls/TlxButton.h"
#include "platform/ConnectionState.h"
#include "tests/support/FakeWinsock.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/Screenshot.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace orvex;

namespace {

class FakeConnection : public ConnectionState {
public:
    bool isConnected() override { return true; }
};

class RecordingUrlOpener : public UrlOpener {
public:
    QStringList opened;
    QWidget* owner = nullptr;
    void open(QWidget* from, const QUrl& address) override {
        owner = from;
        opened << address.toString();
    }
};

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ScopedFakeWinsock> winsock;
    std::unique_ptr<test::RecordingNotifier> notices;
    RecordingUrlOpener pages;
    UrlOpener* previousOpener = nullptr;
    Windows windows;
    TForm1* form = nullptr;

    // Clicks the form at `at` as a user would: the event goes to whatever control lies there.
    void clickOn(QWidget* window, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QWidget* target = window->childAt(at);
        if (!target) target = window;
        QTest::mouseClick(target, button, {}, target->mapFrom(window, at));
    }

private slots:
    void init() {
        winsock = std::make_unique<test::ScopedFakeWinsock>();
        notices = std::make_unique<test::RecordingNotifier>();
        pages.opened.clear();
        previousOpener = setUrlOpener(&pages);
        windows = createWindows(Form1Services{std::make_shared<FakeConnection>()});
        form = windows.Form1.get();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void cleanup() {
        windows = Windows{};
        setUrlOpener(previousOpener);
        notices.reset();
        winsock.reset();
    }

    void trademarkNoticeLayoutAndText() {
        TForm5* notice = form->Form5;
        QCOMPARE(notice->windowTitle(), QStringLiteral("MARKENNAMEN UND WARENZEICHEN "));
        QCOMPARE(notice->size(), QSize(333, 348));
        QCOMPARE(notice->minimumSize(), notice->maximumSize());
        const Qt::WindowFlags flags = notice->windowFlags();
        QVERIFY(!(flags & Qt::WindowCloseButtonHint));
        QVERIFY(!(flags & Qt::WindowSystemMenuHint));
        QVERIFY(!(flags & Qt::WindowMinMaxButtonsHint));
        QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
        QCOMPARE(notice->palette().color(QPalette::Window), QColor(225, 224, 223));

        const QStringList expected = {
            "MARKENNAMEN UND WARENZEICHEN ",
            "",
            "Alle Markennamen, Warenzeichen und",
            "eingetragenen Warenzeichen,die in",
            "diesem Programm verwendet werden,",
            "sind Eigentum Ihrer rechtm\u00e4\u00dfigen",
            "Eigent\u00fcmer. Sie dienen hier nur der",
            "Beschreibung bzw. der Identifikation",
            "der jeweiligen Firmen, Produkte und",
            "Dienstleistungen.",
            "",
            "Google\u2122 und Google Pagerank\u2122 sind",
            "Markenzeichen der Google Inc, USA.",
        };
        TTextView* memo = notice->Memo1;
        QCOMPARE(memo->lines(), expected);
        QCOMPARE(memo->geometry(), QRect(10, 8, 313, 289));
        QCOMPARE(memo->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(memo->font().pixelSize(), 13);
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(memo->gutterWidth(), 10);
        QVERIFY(!memo->isEnabled());
        QCOMPARE(memo->palette().color(QPalette::Disabled, QPalette::Text), QColor(Qt::black));

        TlxButton* okay = notice->PingButton;
        QCOMPARE(okay->text(), QStringLiteral("Okay"));
        QCOMPARE(okay->geometry(), QRect(258, 312, 65, 20));
        QCOMPARE(okay->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(okay->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(okay->font().pixelSize(), 11);
        QCOMPARE(okay->EdgeCut(), 8);
        QCOMPARE(okay->EdgeStyle(), lxbegNorthWest);
    }

    void trademarkTextCannotBeSelectedOrFocused() {
        TForm5* notice = form->Form5;
        notice->open();
        QVERIFY(QTest::qWaitForWindowExposed(notice));
        TTextView* memo = notice->Memo1;
        QTest::mousePress(memo->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(memo->viewport(), QPoint(200, 120));
        QTest::mouseRelease(memo->viewport(), Qt::LeftButton, {}, QPoint(200, 120));
        QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
        QVERIFY(!memo->textCursor().hasSelection());
        QVERIFY(!memo->hasFocus());
        memo->setFocus();
        QVERIFY(!memo->hasFocus());
        QVERIFY(!test::saveScreenshot(notice, QStringLiteral("trademark-notice")).isEmpty());
        notice->PingButton->click();
        QVERIFY(!notice->isVisible());
    }

    void trademarkNoticeClosesOnlyWithOkay() {
        TForm5* notice = form->Form5;
        bool stillOpenAfterEscape = false, stillOpenAfterCloseRequest = false;
        QTimer::singleShot(0, notice, [&] {
            QTest::keyClick(notice, Qt::Key_Escape);
            stillOpenAfterEscape = notice->isVisible();
            // The window system's close request (Alt+F4, a window manager's close) is refused.
            notice->windowHandle()->close();
            stillOpenAfterCloseRequest = notice->isVisible();
            QTest::keyClick(notice, Qt::Key_Return); // presses "Okay", the notice's default action
        });
        QTimer guard; // against a hang
        guard.callOnTimeout(notice, [notice] { notice->done(-1); });
        guard.start(3000);
        QCOMPARE(notice->exec(), int(QDialog::Accepted));
        QVERIFY(stillOpenAfterEscape);
        QVERIFY(stillOpenAfterCloseRequest);

        QTimer::singleShot(
            0, notice, [&] { QTest::mouseClick(notice->PingButton, Qt::LeftButton, {}, QPoint(30, 10)); });
        QCOMPARE(notice->exec(), int(QDialog::Accepted));
    }

    void trademarkNoticeIsCentredOnTheMainWindow() {
        form->move(40, 30);
        TForm5* notice = form->Form5;
        notice->open();
        QVERIFY(QTest::qWaitForWindowExposed(notice));
        const QPoint offset = notice->geometry().center() - form->geometry().center();
        QVERIFY2(offset.manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
        notice->PingButton->click();
    }

    void aboutWindowLayout() {
        TForm2* about = form->Form2;
        QCOMPARE(about->windowTitle(), QStringLiteral("Info"));
        QCOMPARE(about->size(), QSize(287, 446));
        QVERIFY(about->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(about->windowFlags() & Qt::WindowSystemMenuHint);
        QCOMPARE(about->palette().color(QPalette::Window), QColor(Qt::white));

        QCOMPARE(about->Image1->geometry(), QRect(21, -12, 251, 294));
        QCOMPARE(about->Image1->pixmap().size(), QSize(251, 294));
        QCOMPARE(about->Bevel1->geometry(), QRect(21, 274, 250, 2));
        QCOMPARE(about->Image2->geometry(), QRect(22, 280, 250, 161));
        QCOMPARE(about->Image2->pixmap().size(), QSize(250, 161));
        QCOMPARE(about->Image2->cursor().shape(), Qt::PointingHandCursor);
        const QColor banner = about->Image2->pixmap().toImage().pixelColor(20, 100);
        QVERIFY(banner.red() > 150 && banner.green() < 60 && banner.blue() < 80);

        QCOMPARE(about->Label1->text(), QStringLiteral("Orvex 1.7  - 31.01.2010"));
        QCOMPARE(about->Label1->pos(), QPoint(77, 255));
        QCOMPARE(about->Label1->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(about->Label1->font().pixelSize(), 11);
        QVERIFY(about->Label1->font().bold());

        struct Area {
            TMTranBtn* button;
            QRect geometry;
        };
        for (const Area& a :
             {Area{about->MTranBtn1, {36, 192, 223, 18}}, Area{about->MTranBtn2, {36, 225, 223, 32}}}) {
            QCOMPARE(a.button->geometry(), a.geometry);
            QCOMPARE(a.button->Border(), BSnone);
            QVERIFY(a.button->BitMap().isNull());
            QVERIFY(a.button->Caption().isEmpty());
            QCOMPARE(a.button->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(a.button->font().family(), QStringLiteral("Arial"));
            QCOMPARE(a.button->font().pixelSize(), 12);
        }
    }

    void bannerIsA24BitBitmap() {
        QFile file(QStringLiteral(":/about/about-banner.bmp"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(30);
        QCOMPARE(header.left(2), QByteArray("BM"));
        QCOMPARE(int(quint8(header[28])) | int(quint8(header[29])) << 8, 24);
    }

    void linkAreasAndBannerOpenTheirPages() {
        TForm2* about = form->Form2;
        about->open();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        // The areas lie over the artwork, and the second one over the label's top rows too.
        QCOMPARE(about->childAt(QPoint(150, 200)), about->MTranBtn1);
        QCOMPARE(about->childAt(QPoint(40, 226)), about->MTranBtn2);
        QCOMPARE(about->childAt(QPoint(150, 256)), about->MTranBtn2);

        clickOn(about, QPoint(150, 200));
        clickOn(about, QPoint(258, 256));
        clickOn(about, QPoint(100, 350));
        QCOMPARE(pages.opened,
                 (QStringList{"https://orvex.example.org/", "https://orvex.example.org/kontakt/",
                              "https://orvex.example.org/unterstuetzen/"}));
        QCOMPARE(pages.owner, about);
        QVERIFY(about->isVisible()); // opening a page leaves the window open
        QVERIFY(!test::saveScreenshot(about, QStringLiteral("about-window")).isEmpty());
        about->close();
    }

    void clicksElsewhereDoNothing() {
        TForm2* about = form->Form2;
        about->open();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        // Artwork outside the areas, between them, beside them; the label; the bevel; a right click
        // on the banner and on an area; a press on the banner released off it.
        for (QPoint at : {QPoint(100, 100), QPoint(150, 215), QPoint(30, 200), QPoint(265, 240),
                          QPoint(100, 262), QPoint(100, 274), QPoint(5, 5)})
            clickOn(about, at);
        clickOn(about, QPoint(100, 350), Qt::RightButton);
        clickOn(about, QPoint(150, 200), Qt::RightButton);
        QTest::mousePress(about->Image2, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseRelease(about->Image2, Qt::LeftButton, {}, QPoint(50, 200));
        QVERIFY(pages.opened.isEmpty());
        QVERIFY(about->isVisible());
        about->close();
    }

    void escapeClosesTheAboutWindowOtherKeysDoNot() {
        TForm2* about = form->Form2;
        bool openAfterOtherKeys = false;
        QTimer::singleShot(0, about, [&] {
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A, Qt::Key_F4})
                QTest::keyClick(about, key);
            openAfterOtherKeys = about->isVisible();
            QTest::keyClick(about, Qt::Key_Escape);
        });
        QTimer::singleShot(3000, about, [about] { about->done(-1); }); // guard against a hang
        const int result = about->exec();
        QVERIFY(openAfterOtherKeys);
        QVERIFY(result != -1);
        QVERIFY(!about->isVisible());
        QVERIFY(pages.opened.isEmpty());
    }

    void tabReachesTheLinkAreasAndEnterOrSpaceOpensThem() {
        TForm2* about = form->Form2;
        auto grabFirst = [about] { return about->grab(about->MTranBtn1->geometry()).toImage(); };
        auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
        for (int showing = 0; showing < 2; ++showing) {
            about->open();
            QVERIFY(QTest::qWaitForWindowActive(about));
            // Each showing starts on the window itself: no area framed, Enter does nothing yet.
            QTRY_COMPARE(QApplication::focusWidget(), about);
            const QImage unframed = grabFirst();
            press(Qt::Key_Return);
            QVERIFY(pages.opened.isEmpty());

            press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), about->MTranBtn1);
            QVERIFY(grabFirst() != unframed);
            if (showing == 0)
                QVERIFY(!test::saveScreenshot(about, QStringLiteral("about-window-link-focused")).isEmpty());
            press(Qt::Key_Return);
            press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), about->MTranBtn2);
            QCOMPARE(grabFirst(), unframed);
            press(Qt::Key_Space);
            QCOMPARE(pages.opened,
                     (QStringList{"https://orvex.example.org/", "https://orvex.example.org/kontakt/"}));
            press(Qt::Key_Escape); // from a focused area too
            QVERIFY(!about->isVisible());
            pages.opened.clear();
        }
    }

    void infoMenuOpensBothWindows() {
        // Each window opens from the event loop after its menu entry; the timer then runs in it.
        QStringList shown;
        form->Markennamen1->trigger();
        QTimer::singleShot(0, form, [&] {
            shown << form->Form5->windowTitle();
            form->Form5->PingButton->click();
        });
        QTRY_VERIFY(shown.size() == 1 && !form->Form5->isVisible());
        form->Info1->trigger();
        QTimer::singleShot(0, form, [&] {
            shown << form->Form2->windowTitle();
            QTest::keyClick(form->Form2, Qt::Key_Escape);
        });
        QTRY_VERIFY(shown.size() == 2 && !form->Form2->isVisible());
        QCOMPARE(shown, (QStringList{"MARKENNAMEN UND WARENZEICHEN ", "Info"}));
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
