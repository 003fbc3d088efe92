// bench_bare_window: the smallest Qt 6 Widgets program with one window of the main window's size,
// the yardstick for start-up and for idle cost. Exits after the first paint on the same signal as
// Orvex (ORVEX_EXIT_AFTER_FIRST_PAINT=1).
//
//   bench_bare_window              the empty window
//   bench_bare_window --timers MS  the same window with two timers of MS ms each that do nothing,
//                                  the idle cost of a window polling as Orvex's status bar did
//   bench_bare_window --clock      the same window with one sunken label showing the time, set anew
//                                  at each whole second: what a plain Qt label as a clock costs
//   bench_bare_window --tick       the same window woken at each whole second by a timer that does
//                                  nothing: the least anything that changes once a second costs
#include "app/FirstPaint.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setFixedSize(392, 468);
    QTimer timers[2];
    if (argc == 3 && std::strcmp(argv[1], "--timers") == 0) {
        for (QTimer& timer : timers) {
            QObject::connect(&timer, &QTimer::timeout, &window, [] {});
            timer.start(std::atoi(argv[2]));
        }
    }
    // --tick and --clock: a timer aimed just after each whole second, as Orvex's clock is.
    const bool ticks = argc == 2 && std::strcmp(argv[1], "--tick") == 0;
    const bool clocks = argc == 2 && std::strcmp(argv[1], "--clock") == 0;
    // The label exists only with --clock: the other windows have no child widget at all.
    QLabel* clock = nullptr;
    if (clocks) {
        clock = new QLabel(&window);
        clock->setGeometry(52, 448, 68, 18);
        clock->setFrameShape(QFrame::Panel);
        clock->setFrameShadow(QFrame::Sunken);
    }
    QTimer tick;
    tick.setSingleShot(true);
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &window, [&] {
        if (clock)
            clock->setText(QLocale::system().toString(QTime::currentTime(), QStringLiteral("HH:mm:ss")));
        tick.start(int(1000 - QDateTime::currentMSecsSinceEpoch() % 1000) + 1);
    });
    if (ticks || clocks) tick.start(0);
    orvex::exitAfterFirstPaintIfRequested(&window);
    window.show();
    return QApplication::exec();
}
