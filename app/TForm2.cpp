#include "app/TForm2.h"

#include "app/JpegImage.h"
#include "app/OrvexPages.h"
#include "app/UrlOpener.h"
#include "controls/ErrorReport.h"
#include "controls/FixedWindow.h"
#include "controls/Fonts.h"
#include "controls/KeyPress.h"
#include "controls/TColor.h"
#include "controls/TMTranBtn.h"

#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace orvex {

namespace {

QByteArray readResource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A lowered line along the top edge: shadow colour, with the highlight colour beneath it.
class TopLineBevel : public QWidget {
public:
    explicit TopLineBevel(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(0, 0, width(), 1, toQColor(clBtnShadow));
        painter.fillRect(0, 1, width(), 1, toQColor(clBtnHighlight));
    }
};

TMTranBtn* makeLinkArea(QWidget* parent, const char* name, QRect geometry, const QString& accessibleName) {
    auto* area = new TMTranBtn(parent);
    area->setObjectName(QString::fromLatin1(name));
    area->setBorder(BSnone);
    area->setFont(pixelFont(QStringLiteral("Arial"), 12));
    area->setCursor(Qt::PointingHandCursor);
    area->setGeometry(geometry);
    area->setAccessibleName(accessibleName);
    area->setFocusPolicy(Qt::TabFocus); // Tab reaches it, a click does not show the focus frame
    return area;
}

} // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Info"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    fixWindowSize(this, QSize(287, 446));
    setAutoFillBackground(true);
    setFixedFace(this, Qt::white);

    // The artwork starts 12 rows above the client area.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(21, -12, 251, 294);
    Image1->setAccessibleName(QStringLiteral("Orvex, Homepage und Kontakt"));
    QString error;
    const QImage artwork = decodeJpeg(readResource(QStringLiteral(":/about/about-artwork.jpg")), &error);
    if (!artwork.isNull())
        Image1->setPixmap(QPixmap::fromImage(artwork));
    else
        qWarning("About artwork not shown: %s", qPrintable(error));

    Bevel1 = new TopLineBevel(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(21, 274, 250, 2);

    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(22, 280, 250, 161);
    Image2->setPixmap(QPixmap(QStringLiteral(":/about/about-banner.bmp")));
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName(QStringLiteral("Orvex unterstützen"));
    Image2->installEventFilter(this);

    Label1 = new QLabel(QStringLiteral("Orvex 1.7  - 31.01.2010"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(pixelFont(QStringLiteral("Verdana"), 11, true));
    Label1->move(77, 255);
    Label1->adjustSize();

    MTranBtn1 = makeLinkArea(this, "MTranBtn1", QRect(36, 192, 223, 18), QStringLiteral("Homepage"));
    MTranBtn2 = makeLinkArea(this, "MTranBtn2", QRect(36, 225, 223, 32), QStringLiteral("Kontakt"));
    connectGuarded(MTranBtn1, &QAbstractButton::clicked, this, &TForm2::MTranBtn1Click);
    connectGuarded(MTranBtn2, &QAbstractButton::clicked, this, &TForm2::MTranBtn2Click);

    bindKeyPress(this, [this](char16_t& key) { FormKeyPress(key); });
    // Every showing starts with the focus on the window itself, no link area framed: only after
    // Tab do Enter and Space open a page.
    setFocus();
    connect(this, &QDialog::finished, this, [this] { setFocus(); });
}

void TForm2::openPage(const char* address) {
    urlOpener().open(this, QUrl(QString::fromLatin1(address)));
}

void TForm2::Image2Click() {
    openPage(pages::kContribution);
}
void TForm2::MTranBtn1Click() {
    openPage(pages::kHome);
}
void TForm2::MTranBtn2Click() {
    openPage(pages::kContact);
}

void TForm2::FormKeyPress(char16_t& key) {
    if (key == kEscapeKey) close();
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    // Keys have no effect here besides FormKeyPress's Escape; Enter must not reach a default button.
    event->accept();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image2) {
        // A click as buttons count it: left button pressed on the banner and released on it.
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            bannerPressed_ = mouse->button() == Qt::LeftButton;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click = bannerPressed_ && mouse->button() == Qt::LeftButton &&
                               Image2->rect().contains(mouse->position().toPoint());
            if (mouse->button() == Qt::LeftButton) bannerPressed_ = false;
            if (click) runGuarded(this, [this] { Image2Click(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace orvex
