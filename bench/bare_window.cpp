// bench_bare_window: the smallest Qt 6 Widgets program with one window of the main window's size,
// the yardstick for Orvex's start-up. Exits after the first paint on the same signal as Orvex
// (ORVEX_EXIT_AFTER_FIRST_PAINT=1).
#include "app/FirstPaint.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setFixedSize(392, 468);
    orvex::exitAfterFirstPaintIfRequested(&window);
    window.show();
    return QApplication::exec();
}
