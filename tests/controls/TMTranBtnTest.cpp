#include "controls/TMTranBtn.h"
#include "controls/TColor.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QSignalSpy>
#include <QTest>

using namespace orvex;

namespace {

const QColor kParent(0, 128, 255);
const QColor kMagenta(255, 0, 255);

// A 12 x 10 picture: magenta everywhere (bottom-left included) except a green 4 x 4 square at
// (4, 3) and a single black pixel at (0, 0).
QImage keyedPicture() {
    QImage picture(12, 10, QImage::Format_RGB32);
    picture.fill(kMagenta);
    for (int y = 3; y < 7; ++y)
        for (int x = 4; x < 8; ++x)
            picture.setPixelColor(x, y, QColor(0, 160, 0));
    picture.setPixelColor(0, 0, Qt::black);
    return picture;
}

} // namespace

class TMTranBtnTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> parent;
    TMTranBtn* link = nullptr;

    QImage onScreen() {
        return parent->grab(link->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    }

    void enter() {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(link, &event);
    }
    void leave() {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(link, &event);
    }

private slots:
    void init() {
        parent = std::make_unique<QWidget>();
        parent->resize(300, 100);
        parent->setAutoFillBackground(true);
        QPalette palette = parent->palette();
        palette.setColor(QPalette::Window, kParent);
        parent->setPalette(palette);
        link = new TMTranBtn(parent.get());
        link->move(20, 20);
        parent->show();
        QVERIFY(QTest::qWaitForWindowExposed(parent.get()));
    }

    void cleanup() { parent.reset(); }

    void constructionValues() {
        TMTranBtn fresh;
        QCOMPARE(fresh.size(), QSize(30, 30));
        QCOMPARE(fresh.Border(), BsNormal);
        QVERIFY(fresh.BitMap().isNull());
        QVERIFY(fresh.Caption().isEmpty());
        QCOMPARE(fresh.font().family(), QStringLiteral("Arial"));
        QCOMPARE(fresh.font().pointSize(), 9);
        QCOMPARE(fresh.focusPolicy(), Qt::NoFocus);
    }

    void invisibleAreaStillClicks() {
        link->setBorder(BSnone);
        link->resize(223, 18);
        QSignalSpy clicks(link, &QAbstractButton::clicked);
        const QImage img = onScreen();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                QCOMPARE(img.pixelColor(x, y), kParent);
        for (QPoint at : {QPoint(0, 0), QPoint(222, 17), QPoint(111, 9)}) {
            QTest::mouseMove(link, at);
            QTest::mouseClick(link, Qt::LeftButton, {}, at);
        }
        QCOMPARE(clicks.count(), 3);
        QTest::mouseClick(link, Qt::RightButton, {}, QPoint(5, 5));
        QTest::mouseClick(link, Qt::MiddleButton, {}, QPoint(5, 5));
        QCOMPARE(clicks.count(), 3);
        QCOMPARE(onScreen(), img);
    }

    void bottomLeftColourIsKeyedOut() {
        link->setBorder(BSnone);
        link->setBitMap(keyedPicture());
        QCOMPARE(link->transparentColour(), kMagenta);
        const QImage img = onScreen();
        // 30 x 30 control, 12 x 10 picture: drawn at (9, 10).
        QCOMPARE(link->pictureRect(), QRect(9, 10, 12, 10));
        QCOMPARE(img.pixelColor(9 + 5, 10 + 4), QColor(0, 160, 0));
        QCOMPARE(img.pixelColor(9, 10), QColor(Qt::black));
        for (QPoint magentaAt : {QPoint(1, 0), QPoint(0, 9), QPoint(11, 9), QPoint(3, 3), QPoint(8, 6)})
            QCOMPARE(img.pixelColor(QPoint(9, 10) + magentaAt), kParent);
        QCOMPARE(img.pixelColor(0, 0), kParent);
        // The picture itself keeps its colours.
        QCOMPARE(link->BitMap().pixelColor(1, 0), kMagenta);
    }

    void explicitTransparentColour() {
        link->setBorder(BSnone);
        link->setBitMap(keyedPicture(), QColor(0, 160, 0));
        const QImage img = onScreen();
        QCOMPARE(img.pixelColor(9 + 5, 10 + 4), kParent);
        QCOMPARE(img.pixelColor(9 + 1, 10), kMagenta);
    }

    void ieFrameOnHoverAndPress() {
        link->setBorder(BsIe);
        const QColor light = QColor(toQColor(clBtnHighlight).rgb()),
                     dark = QColor(toQColor(clBtnShadow).rgb());
        QVERIFY(light != dark);
        QCOMPARE(onScreen().pixelColor(0, 0), kParent);
        QCOMPARE(onScreen().pixelColor(29, 29), kParent);

        enter();
        QImage img = onScreen();
        QCOMPARE(img.pixelColor(0, 0), light);
        QCOMPARE(img.pixelColor(15, 0), light);
        QCOMPARE(img.pixelColor(0, 15), light);
        QCOMPARE(img.pixelColor(29, 15), dark);
        QCOMPARE(img.pixelColor(15, 29), dark);
        QCOMPARE(img.pixelColor(15, 15), kParent);

        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(15, 15));
        QVERIFY(link->isPressed());
        img = onScreen();
        QCOMPARE(img.pixelColor(15, 0), dark);
        QCOMPARE(img.pixelColor(29, 15), light);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(15, 15));
        QVERIFY(!link->isPressed());
        QCOMPARE(onScreen().pixelColor(15, 0), light);

        leave();
        img = onScreen();
        QCOMPARE(img.pixelColor(15, 0), kParent);
        QCOMPARE(img.pixelColor(29, 15), kParent);
    }

    void normalFrameAlwaysShows() {
        const QColor light = QColor(toQColor(clBtnHighlight).rgb()),
                     dark = QColor(toQColor(clBtnShadow).rgb());
        QCOMPARE(onScreen().pixelColor(15, 0), light);
        QCOMPARE(onScreen().pixelColor(15, 29), dark);
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(15, 15));
        QCOMPARE(onScreen().pixelColor(15, 0), dark);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(15, 15));
    }

    void hoverWithoutFrameFollowsThePicturePixels() {
        link->setBorder(BSnone);
        link->setBitMap(keyedPicture());
        onScreen();                                    // paints, placing the picture
        QTest::mouseMove(link, QPoint(9 + 1, 10 + 1)); // magenta: not over the picture
        QVERIFY(!link->isMouseOver());
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(9 + 1, 10 + 1));
        QVERIFY(!link->isPressed());
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(9 + 1, 10 + 1));

        QTest::mouseMove(link, QPoint(9 + 5, 10 + 4)); // green
        QVERIFY(link->isMouseOver());
        const QImage normal = onScreen();
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(9 + 5, 10 + 4));
        QVERIFY(link->isPressed());
        const QImage pressed = onScreen();
        QCOMPARE(pressed.pixelColor(9 + 8, 10 + 6), QColor(0, 160, 0)); // moved by one pixel
        QCOMPARE(normal.pixelColor(9 + 8, 10 + 6), kParent);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(9 + 5, 10 + 4));
        QVERIFY(!link->isPressed());

        // Pressed over the picture, released over a transparent pixel: not left looking pressed.
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(9 + 5, 10 + 4));
        QTest::mouseMove(link, QPoint(9 + 1, 10 + 1));
        QVERIFY(!link->isMouseOver());
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(9 + 1, 10 + 1));
        QVERIFY(!link->isPressed());
        QCOMPARE(onScreen(), normal);
    }

    void captionIsCutAndDrawn() {
        link->setBorder(BSnone);
        link->resize(200, 30);
        link->setCaption(QString(50, QLatin1Char('x')));
        QCOMPARE(link->Caption().size(), TMTranBtn::kMaxCaptionLength);
        link->setCaption(QStringLiteral("Home"));
        const QImage img = onScreen();
        int ink = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                ink += img.pixelColor(x, y) != kParent;
        QVERIFY(ink > 10);
    }

    void accessibleNameAndPress() {
        link->setBorder(BSnone);
        link->setAccessibleName(QStringLiteral("Homepage"));
        QSignalSpy clicks(link, &QAbstractButton::clicked);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(link);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Homepage"));
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks.count(), 0); // queued, so the caller never waits on what the click opens
        QTRY_COMPARE(clicks.count(), 1);
    }
};

QTEST_MAIN(TMTranBtnTest)
#include "TMTranBtnTest.moc"
