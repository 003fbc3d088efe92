// bench_replica_window: the main window's controls as Qt's own widgets, nothing of Orvex's code but
// its font set-up: a menu bar with the same menus, seven group boxes at the same places with their
// captions, line edits, editable combo boxes, a spin box, a list, push buttons and a status line
// of three sunken labels, in the same faces (Tahoma 11 and 12 px, Arial 11 and 12 px, Courier New
// 11 px). Started the way Orvex starts (fonts read ahead on a thread, no shared-memory pictures on
// X11); exits after the first paint on the same signal (ORVEX_EXIT_AFTER_FIRST_PAINT=1).
//
// The yardstick for what Qt Widgets itself costs to build and paint a window with these controls:
// start-up beside it says how much of Orvex's start-up is Orvex's own.
#include "app/FirstPaint.h"
#include "controls/Fonts.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTime>

namespace {

constexpr int kClientWidth = 392;
constexpr int kClientHeight = 448;
constexpr int kStatusHeight = 19;

enum class Field { Line, Combo, Ping };

struct Box {
    const char* caption;
    QRect geometry;
    Field field;
};

QLabel* sunkenPanel(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* panel = new QLabel(text, parent);
    panel->setGeometry(geometry);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    return panel;
}

void fillBox(QGroupBox* box, Field field, const QFont& buttonFont) {
    const QRect fieldGeometry(9, 21, 168, 22);
    if (field == Field::Combo) {
        auto* combo = new QComboBox(box);
        combo->setEditable(true);
        combo->setGeometry(fieldGeometry);
    } else {
        (new QLineEdit(box))->setGeometry(fieldGeometry);
    }
    if (field != Field::Ping) {
        auto* ok = new QPushButton(QStringLiteral("OK"), box);
        ok->setGeometry(112, 45, 65, 20);
        ok->setFont(buttonFont);
        return;
    }
    auto* count = new QSpinBox(box);
    count->setGeometry(182, 21, 50, 23);
    count->setRange(1, 1000);
    count->setValue(10);
    auto* replies = new QListWidget(box);
    replies->setGeometry(9, 49, 359, 101);
    replies->setFont(orvex::pixelFont(QStringLiteral("Courier New"), 11));
    auto* start = new QPushButton(QStringLiteral("Start"), box);
    start->setGeometry(304, 152, 65, 20);
}

void buildMenu(QMainWindow& window) {
    QMenuBar* bar = window.menuBar();
    bar->addAction(QStringLiteral("&Beenden"));
    QMenu* tools = bar->addMenu(QStringLiteral("Tools"));
    tools->addAction(QStringLiteral("&TCPHistory"));
    tools->addSeparator();
    tools->addAction(QStringLiteral("Google Pagerank™"));
    tools->addSeparator();
    tools->addAction(QStringLiteral("&Route und Ports …"));
    QMenu* info = bar->addMenu(QStringLiteral("&Info"));
    info->addAction(QStringLiteral("Markennamen und Warenzeichen"));
    info->addAction(QStringLiteral("Über Orvex 1.7"));
}

} // namespace

int main(int argc, char* argv[]) {
    orvex::readFontConfigurationAhead();
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication application(argc, argv);
    orvex::loadWindowsFonts();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Orvex 1.7"));
    window.setFont(orvex::pixelFont(QStringLiteral("Tahoma"), 11));
    auto* client = new QWidget(&window);
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setAutoFillBackground(true);
    window.setCentralWidget(client);

    const QFont tahoma12 = orvex::pixelFont(QStringLiteral("Tahoma"), 12);
    const QFont arial11 = orvex::pixelFont(QStringLiteral("Arial"), 11);
    const Box boxes[] = {
        {"IP to Hostname", QRect(8, 5, 185, 73), Field::Line},
        {"Hostname to IP", QRect(8, 85, 185, 73), Field::Line},
        {"Mac-Adresse", QRect(8, 165, 185, 73), Field::Combo},
        {"Ping", QRect(8, 245, 377, 180), Field::Ping},
        {"IP Adresse hinter Router/Proxy", QRect(200, 5, 185, 73), Field::Line},
        {"Lokale IP-Adresse", QRect(200, 85, 185, 73), Field::Combo},
        {"Gateway", QRect(200, 165, 185, 73), Field::Combo},
    };
    for (const Box& spec : boxes) {
        auto* box = new QGroupBox(QString::fromLatin1(spec.caption), client);
        box->setGeometry(spec.geometry);
        // The second box is in Arial, as Orvex's is.
        box->setFont(&spec == &boxes[1] ? orvex::pixelFont(QStringLiteral("Arial"), 12) : tahoma12);
        fillBox(box, spec.field, arial11);
    }
    buildMenu(window);

    auto* status = new QWidget(client);
    status->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);
    sunkenPanel(QStringLiteral("Online"), QRect(2, 2, 48, 16), status);
    sunkenPanel(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), QRect(52, 2, 68, 16), status);
    sunkenPanel(QString(), QRect(122, 2, 268, 16), status);

    window.adjustSize();
    window.setFixedSize(window.size());
    orvex::exitAfterFirstPaintIfRequested(&window);
    window.show();
    return QApplication::exec();
}
