#include "app/TForm5.h"

#include "controls/ErrorReport.h"
#include "controls/FixedWindow.h"
#include "controls/Fonts.h"
#include "controls/KeyPress.h"
#include "controls/TTextView.h"
#include "controls/TlxButton.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace orvex {

const QStringList TForm5::kNoticeLines = {
    QStringLiteral("MARKENNAMEN UND WARENZEICHEN "),
    QString(),
    QStringLiteral("Alle Markennamen, Warenzeichen und"),
    QStringLiteral("eingetragenen Warenzeichen,die in"),
    QStringLiteral("diesem Programm verwendet werden,"),
    QStringLiteral("sind Eigentum Ihrer rechtmäßigen"),
    QStringLiteral("Eigentümer. Sie dienen hier nur der"),
    QStringLiteral("Beschreibung bzw. der Identifikation"),
    QStringLiteral("der jeweiligen Firmen, Produkte und"),
    QStringLiteral("Dienstleistungen."),
    QString(),
    QStringLiteral("Google™ und Google Pagerank™ sind"),
    QStringLiteral("Markenzeichen der Google Inc, USA."),
};

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("MARKENNAMEN UND WARENZEICHEN "));
    // A title bar without any buttons: no close box, no system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    fixWindowSize(this, QSize(333, 348));
    setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));
    setAutoFillBackground(true);
    setFixedFace(this, QColor(225, 224, 223));

    Memo1 = new TTextView(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(10, 8, 313, 289);
    Memo1->setFont(pixelFont(QStringLiteral("Courier New"), 13));
    Memo1->setPlainText(kNoticeLines.join(QLatin1Char('\n')));
    Memo1->setAccessibleName(QStringLiteral("Markennamen und Warenzeichen"));

    PingButton = new TlxButton(QStringLiteral("Okay"), QRect(258, 312, 65, 20), this);
    PingButton->setObjectName(QStringLiteral("PingButton"));
    connectGuarded(PingButton, &QAbstractButton::clicked, this, &TForm5::PingButtonClick);
}

void TForm5::PingButtonClick() {
    closingByOkay_ = true;
    accept();
    closingByOkay_ = false;
}

void TForm5::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog; only "Okay" closes the notice.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // "Okay" is the notice's default action, so a keyboard alone can close it.
    if (isEnterKey(*event)) {
        event->accept();
        PingButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm5::closeEvent(QCloseEvent* event) {
    // Close requests of the window system (Alt+F4 and the like) are refused as well.
    if (!closingByOkay_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace orvex
