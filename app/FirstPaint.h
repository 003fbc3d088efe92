// Work tied to a window's first paint. Header-only (Qt Widgets alone), so that any Widgets program
// can use the very same mechanism.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWidget>

#if defined(ORVEX_FIRST_PAINT_XCB) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <utility>

namespace orvex {

namespace detail {

// Watches the application's paint events until one paints (part of) `window`.
class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget* window, std::function<void()> done)
        : QObject(window), window_(window), done_(std::move(done)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window_) {
            QCoreApplication::instance()->removeEventFilter(this);
            // Queued, so it runs once this paint and the flush that follows it are complete.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    done_();
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget* window_;
    std::function<void()> done_;
};

// Returns once the display has handled every request the program has sent so far (a picture put
// on a window included). On X11 that is one round trip on the program's own connection; unlike
// QGuiApplication::sync(), which also processes the pending events, it runs no other work, so that
// work queued for after a paint (or a timer that falls due meanwhile) stays out of a measurement.
inline void waitForDisplay() {
#if defined(ORVEX_FIRST_PAINT_XCB) && QT_CONFIG(xcb)
    // Other platforms (offscreen among them) may hand out an X11 interface of their own, with or
    // without a connection; only the xcb platform draws through it.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() == QLatin1String("xcb") && x11 && x11->connection()) {
        xcb_connection_t* connection = x11->connection();
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        return;
    }
#endif
    QGuiApplication::sync();
}

} // namespace detail

// Calls done once, from the event loop, right after window has been painted for the first time.
// Watches installed later run first.
inline void afterFirstPaint(QWidget* window, std::function<void()> done) {
    QCoreApplication::instance()->installEventFilter(new detail::FirstPaintWatch(window, std::move(done)));
}

// For start-up measurements: with ORVEX_EXIT_AFTER_FIRST_PAINT=1 in the environment, once window
// has been painted for the first time and the display has taken the picture (waitForDisplay), writes
// "first-paint-ns N cpu-us C rss-kib R" to standard error (N: CLOCK_MONOTONIC in nanoseconds; C and R: the
// processor time used and the peak resident set so far) and leaves the event loop. Without the variable
// nothing is installed. Call it last, just before the window is shown, so that it runs before any other work
// waiting for the same paint.
inline void exitAfterFirstPaintIfRequested(QWidget* window) {
    if (qEnvironmentVariableIntValue("ORVEX_EXIT_AFTER_FIRST_PAINT") != 1) return;
    afterFirstPaint(window, [] {
        detail::waitForDisplay();
        timespec t{};
        ::clock_gettime(CLOCK_MONOTONIC, &t);
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const auto micros = [](const timeval& v) {
            return static_cast<long long>(v.tv_sec) * 1000000LL + v.tv_usec;
        };
        std::fprintf(stderr, "first-paint-ns %lld cpu-us %lld rss-kib %ld\n",
                     static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec,
                     micros(usage.ru_utime) + micros(usage.ru_stime), usage.ru_maxrss);
        std::fflush(stderr);
        QCoreApplication::quit();
    });
}

} // namespace orvex
