#include "controls/TlxButton.h"
#include "tests/support/Screenshot.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace orvex;

namespace {

const QColor kParent(255, 0, 0);
const TColor kOuterLight = TColor::fromRgb(200, 0, 0);
const TColor kInnerLight = TColor::fromRgb(0, 200, 0);
const TColor kInnerDark = TColor::fromRgb(0, 0, 200);
const TColor kOuterDark = TColor::fromRgb(200, 200, 0);
const TColor kBody = TColor::fromRgb(10, 20, 30);

QColor rgb(TColor c) {
    return toQColor(c);
}

void saveScaled(const QImage& image, const QString& name) {
    QString dir = qEnvironmentVariable("ORVEX_SCREENSHOT_DIR");
    if (dir.isEmpty()) dir = QDir::tempPath();
    image.scaled(image.size() * 8, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class TlxButtonTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> parent;
    TlxButton* button = nullptr;

    // What the screen shows at the button's place, parent included.
    QImage onScreen() {
        return parent->grab(button->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    }

    void useTestColours() {
        button->setColorBorderTopOuter(kOuterLight);
        button->setColorBorderTopInner(kInnerLight);
        button->setColorBottomInner(kInnerDark);
        button->setColorBorderBottomOuter(kOuterDark);
        button->setColor(kBody);
        button->setText(QString());
    }

private slots:
    void init() {
        parent = std::make_unique<QWidget>();
        parent->resize(120, 60);
        parent->setAutoFillBackground(true);
        QPalette red = parent->palette();
        red.setColor(QPalette::Window, kParent);
        parent->setPalette(red);
        button = new TlxButton(QStringLiteral("OK"), QRect(10, 10, 65, 20), parent.get());
        parent->show();
        QVERIFY(QTest::qWaitForWindowExposed(parent.get()));
    }

    void cleanup() { parent.reset(); }

    void constructionValues() {
        TlxButton plain;
        QCOMPARE(plain.size(), QSize(75, 24));
        QCOMPARE(plain.AlignmentH(), taCenter);
        QCOMPARE(plain.AlignmentV(), lxtavCenter);
        QCOMPARE(plain.BorderStyle(), lxbbsBoth);
        QVERIFY(plain.ColorBorderTopOuter() == clWhite);
        QVERIFY(plain.ColorBorderTopInner() == cl3DLight);
        QVERIFY(plain.ColorBottomInner() == clBtnShadow);
        QVERIFY(plain.ColorBorderBottomOuter() == clBlack);
        QVERIFY(plain.ColorGradient() == clWhite);
        QCOMPARE(plain.ColorGradientMouseEnter().value, 14155735u);
        QCOMPARE(plain.ColorMouseEnter().value, 15456986u);
        QCOMPARE(TColor(15456986).red(), 218);
        QCOMPARE(TColor(15456986).blue(), 235);
        QCOMPARE(plain.EdgeCut(), 8);
        QCOMPARE(plain.EdgeStyle(), lxbegNorthWest);
        QCOMPARE(plain.GradientStyle(), lxgsVertical);
        QVERIFY(!plain.UseGradient());
        QVERIFY(!plain.UseMouseOverColor());
        QCOMPARE(plain.ModalResult(), 0);
        QVERIFY(!plain.isPressed());
        QVERIFY(!plain.isMouseOver());
    }

    void programButtonShowsTheParentThroughItsCuts() {
        const QImage img = onScreen();
        // Top-left cut: an 8-pixel diagonal; everything above it is the parent.
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8 - y; ++x)
                QCOMPARE(img.pixelColor(x, y), kParent);
            QCOMPARE(img.pixelColor(8 - y, y), QColor(Qt::white)); // the outer light line on the cut
        }
        // Bottom-right cut.
        for (int y = 12; y < 20; ++y) {
            for (int x = 64; x > 76 - y; --x)
                QCOMPARE(img.pixelColor(x, y), kParent);
            QCOMPARE(img.pixelColor(76 - y, y), QColor(Qt::black)); // the outer dark line on the cut
        }
        // The other two corners are square.
        QCOMPARE(img.pixelColor(64, 0), QColor(Qt::white));
        QCOMPARE(img.pixelColor(0, 19), QColor(Qt::white));
        QCOMPARE(img.pixelColor(64, 1), QColor(Qt::black));
        QVERIFY(!test::saveScreenshot(parent.get(), QStringLiteral("lxbutton-on-red")).isEmpty());
    }

    void borderLinesAndTheirSwapWhenPressed() {
        useTestColours();
        struct Probe {
            int x, y;
            TColor normal, pressed;
        };
        const Probe probes[] = {
            {30, 0, kOuterLight, kOuterDark}, {0, 12, kOuterLight, kOuterDark},
            {4, 4, kOuterLight, kOuterDark},  {30, 19, kOuterDark, kOuterLight},
            {64, 6, kOuterDark, kOuterLight}, {60, 16, kOuterDark, kOuterLight},
            {30, 1, kInnerLight, kInnerDark}, {1, 12, kInnerLight, kInnerDark},
            {4, 5, kInnerLight, kInnerDark},  {30, 18, kInnerDark, kInnerLight},
            {63, 6, kInnerDark, kInnerLight}, {59, 16, kInnerDark, kInnerLight},
            {30, 10, kBody, kBody},
        };
        QImage img = onScreen();
        for (const Probe& p : probes)
            QVERIFY2(img.pixelColor(p.x, p.y) == rgb(p.normal),
                     qPrintable(QStringLiteral("%1,%2").arg(p.x).arg(p.y)));

        QTest::mousePress(button, Qt::RightButton, {}, QPoint(30, 10));
        QVERIFY(button->isPressed());
        img = onScreen();
        for (const Probe& p : probes)
            QVERIFY2(img.pixelColor(p.x, p.y) == rgb(p.pressed),
                     qPrintable(QStringLiteral("%1,%2").arg(p.x).arg(p.y)));
        QTest::mouseRelease(button, Qt::RightButton, {}, QPoint(30, 10));
    }

    void borderStylesDrawTheirLinesOnly() {
        useTestColours();
        struct Case {
            TlxButtonBorderStyle style;
            TColor top0, top1;
        };
        const Case cases[] = {
            {lxbbsBoth, kOuterLight, kInnerLight},
            {lxbbsInner, kBody, kInnerLight},
            {lxbbsOuter, kOuterLight, kBody},
            {lxbbsNone, kBody, kBody},
        };
        for (const Case& c : cases) {
            button->setBorderStyle(c.style);
            const QImage img = button->render(kParent);
            QCOMPARE(img.pixelColor(30, 0), rgb(c.top0));
            QCOMPARE(img.pixelColor(30, 1), rgb(c.top1));
            QCOMPARE(img.pixelColor(64, 8), c.top0 == kBody ? rgb(kBody) : rgb(kOuterDark));
            QCOMPARE(img.pixelColor(63, 8), c.top1 == kBody ? rgb(kBody) : rgb(kInnerDark));
            QCOMPARE(img.pixelColor(0, 0), kParent); // the cut stays whatever the border
        }
    }

    void captionMovesOnePixelWhilePressed() {
        button->setColor(clWhite);
        const QImage normal = onScreen();
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 10));
        const QImage pressed = onScreen();
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 10));
        const QRect caption(8, 4, 48, 12);
        QCOMPARE(pressed.copy(caption.translated(1, 1)), normal.copy(caption));
        QVERIFY(pressed.copy(caption) != normal.copy(caption));
        saveScaled(normal, QStringLiteral("lxbutton-normal"));
        saveScaled(pressed, QStringLiteral("lxbutton-pressed"));
    }

    void captionAlignment() {
        button->resize(65, 40);
        button->setColor(clWhite);
        auto inkBox = [&] {
            const QImage img = button->render(Qt::white);
            QRect box;
            for (int y = 3; y < img.height() - 3; ++y)
                for (int x = 3; x < img.width() - 3; ++x)
                    if (qGray(img.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
            return box;
        };
        const QRect centred = inkBox();
        button->setAlignmentH(taLeftJustify);
        button->setAlignmentV(lxtavTop);
        const QRect topLeft = inkBox();
        button->setAlignmentH(taRightJustify);
        button->setAlignmentV(lxtavBottom);
        const QRect bottomRight = inkBox();
        QVERIFY(topLeft.left() < centred.left() && centred.left() < bottomRight.left());
        QVERIFY(topLeft.top() < centred.top() && centred.top() < bottomRight.top());
        QVERIFY(topLeft.left() <= 6);
        QVERIFY(bottomRight.right() >= 58);
    }

    void verticalGradientRows() {
        useTestColours();
        button->setColor(TColor::fromRgb(0, 0, 0));
        button->setColorGradient(TColor::fromRgb(200, 100, 50));
        button->setBorderStyle(lxbbsNone);
        button->setUseGradient(true);
        const QImage img = onScreen();
        const int rows[][4] = {
            {0, 0, 0, 0}, {1, 10, 5, 2}, {3, 30, 15, 8}, {5, 50, 25, 12}, {19, 190, 95, 48}};
        for (const auto& r : rows)
            for (int x : {20, 40})
                QCOMPARE(img.pixelColor(x, r[0]), QColor(r[1], r[2], r[3]));
        QCOMPARE(img.pixelColor(0, 0), kParent);
    }

    void horizontalGradientColumnsAndMouseOverEnd() {
        useTestColours();
        button->setColor(TColor::fromRgb(0, 0, 0));
        button->setBorderStyle(lxbbsNone);
        button->setUseGradient(true);
        button->setGradientStyle(lxgsHorizontal);
        button->resize(10, 20);
        button->setColorGradient(TColor::fromRgb(100, 50, 250));
        QImage img = onScreen();
        QCOMPARE(img.pixelColor(9, 11), QColor(90, 45, 225));
        QCOMPARE(img.pixelColor(5, 10), QColor(50, 25, 125));

        // While the mouse is over a button with the mouse-over colour the gradient runs from
        // ColorMouseEnter to ColorGradientMouseEnter.
        button->setUseMouseOverColor(true);
        button->setColorMouseEnter(TColor::fromRgb(0, 0, 0));
        button->setColorGradientMouseEnter(TColor::fromRgb(250, 0, 100));
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(button, &enter);
        img = onScreen();
        QCOMPARE(img.pixelColor(9, 10), QColor(225, 0, 90));
    }

    void edgeCutIsLimitedByTheHeight() {
        button->setEdgeCut(30);
        QCOMPARE(button->EdgeCut(), 18);
        const QImage img = onScreen();
        QCOMPARE(img.pixelColor(17, 0), kParent);
        QCOMPARE(img.pixelColor(18, 0), QColor(Qt::white));
        // Changing the style keeps the stored cut.
        button->setEdgeStyle(lxbegEight);
        QCOMPARE(button->EdgeCut(), 18);
        button->setEdgeCut(30);
        QCOMPARE(button->EdgeCut(), 8);
        button->setEdgeStyle(lxbegFour);
        QCOMPARE(button->EdgeCut(), 8);
        button->setEdgeCut(5);
        QCOMPARE(button->EdgeCut(), 0);
        QCOMPARE(onScreen().pixelColor(0, 0), QColor(Qt::white));
    }

    void rightButtonLooksPressedButDoesNotClick() {
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        const QImage normal = onScreen();
        QTest::mousePress(button, Qt::RightButton, {}, QPoint(30, 10));
        QVERIFY(button->isPressed());
        QVERIFY(button->hasFocus());
        QVERIFY(onScreen() != normal);
        QTest::mouseRelease(button, Qt::RightButton, {}, QPoint(30, 10));
        QVERIFY(!button->isPressed());
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(onScreen(), normal);
    }

    void leftPressMovedOffAndReleasedOutsideDoesNotClick() {
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        const QImage normal = onScreen();
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 10));
        QTest::mouseMove(button, QPoint(100, 40));
        QVERIFY(button->isPressed()); // still held, still looks pressed
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(100, 40));
        QCOMPARE(clicks.count(), 0);
        QVERIFY(!button->isPressed());
        QCOMPARE(onScreen(), normal);
    }

    void leftClickInsideClicksOnce() {
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(clicks.count(), 1);
        QVERIFY(!button->isPressed());
    }

    void keysNeverPressTheButton() {
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        button->setFocus();
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Select})
            QTest::keyClick(button, key);
        QCOMPARE(clicks.count(), 0);
        QVERIFY(!button->isPressed());
        QVERIFY(!(button->focusPolicy() & Qt::TabFocus));
    }

    void mouseOverColourAndEvents() {
        QSignalSpy entered(button, &TlxButton::OnMouseEnter);
        QSignalSpy left(button, &TlxButton::OnMouseLeave);
        button->setColor(TColor::fromRgb(1, 2, 3));
        QEnterEvent enter(QPointF(30, 10), QPointF(30, 10), QPointF(40, 20));
        QEvent leave(QEvent::Leave);

        QCoreApplication::sendEvent(button, &enter);
        QVERIFY(button->isMouseOver());
        QCOMPARE(onScreen().pixelColor(30, 10), QColor(1, 2, 3)); // off by default
        QCoreApplication::sendEvent(button, &leave);

        button->setUseMouseOverColor(true);
        QCoreApplication::sendEvent(button, &enter);
        QCOMPARE(onScreen().pixelColor(30, 10), QColor(218, 218, 235));
        QVERIFY(button->Color() == TColor(15456986));
        QCoreApplication::sendEvent(button, &leave);
        QVERIFY(!button->isMouseOver());
        QVERIFY(button->Color() == TColor::fromRgb(1, 2, 3));
        QCOMPARE(onScreen().pixelColor(30, 10), QColor(1, 2, 3));
        QCOMPARE(entered.count(), 2);
        QCOMPARE(left.count(), 2);
    }

    void changedColoursShowAtOnce() {
        button->setColorBorderTopOuter(TColor::fromRgb(0, 0, 255));
        QCOMPARE(onScreen().pixelColor(30, 0), QColor(0, 0, 255));
        button->setFontColor(TColor::fromRgb(0, 128, 0));
        const QImage img = onScreen();
        bool green = false;
        for (int y = 2; y < 18 && !green; ++y)
            for (int x = 2; x < 62 && !green; ++x)
                green = img.pixelColor(x, y).green() > img.pixelColor(x, y).red() + 60;
        QVERIFY(green);
    }

    // Buttons that look alike share one finished picture; each still shows its own state, and the
    // copy is the button as drawn directly.
    void buttonsThatLookAlikeShowTheirOwnState() {
        auto* twin = new TlxButton(QStringLiteral("OK"), QRect(10, 35, 65, 20), parent.get());
        twin->show();
        const auto at = [&](TlxButton* b) {
            return parent->grab(b->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
        };
        const QImage alike = at(twin);
        QCOMPARE(at(button), alike);
        QCOMPARE(alike, button->render(kParent).convertToFormat(QImage::Format_RGB32)); // drawn directly
        button->setEnabled(false);
        QVERIFY(at(button) != alike);
        QCOMPARE(at(twin), alike);
        button->setEnabled(true);
        QCOMPARE(at(button), alike);
        button->setText(QStringLiteral("Go"));
        QVERIFY(at(button) != alike);
        QCOMPARE(at(twin), alike);
    }

    void accessibleAsAPushButton() {
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("OK"));
        QAccessibleActionInterface* actions = iface->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks.count(), 0); // queued, so the caller never waits on what the click opens
        QTRY_COMPARE(clicks.count(), 1);
        button->setEnabled(false);
        actions->doAction(QAccessibleActionInterface::pressAction());
        QTest::qWait(20);
        QCOMPARE(clicks.count(), 1);
        button->setEnabled(true);
    }
};

QTEST_MAIN(TlxButtonTest)
#include "TlxButtonTest.moc"
