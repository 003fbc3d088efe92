#include "controls/FixedWindow.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace orvex {

namespace {

constexpr Qt::WindowStates kSizingStates = Qt::WindowMaximized | Qt::WindowFullScreen;
// How long a request for the maximised state may wait for the window system's answer before the
// window gives up waiting and is fixed again (a window manager that refuses it never answers).
constexpr int kAnswerWaitMs = 2000;

// A Wayland compositor that maximises a window dictates its size, and a window that does not take
// it breaks the protocol (Qt then ends the program). So while the window system holds the window
// maximised the size is free; as soon as the window system reports the state, the window asks to
// return to its normal state, and once it is back there it is fixed again.
class FixedSizeKeeper : public QObject {
public:
    FixedSizeKeeper(QWidget* window, QSize size) : QObject(window), window_(window), size_(size) {
        giveUp_.setSingleShot(true);
        giveUp_.setInterval(kAnswerWaitMs);
        connect(&giveUp_, &QTimer::timeout, this, [this] {
            if (QWindow* handle = window_->windowHandle())
                handle->setWindowStates(handle->windowStates() & ~kSizingStates);
            fix();
        });
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::WinIdChange) watchHandle();
        if (watched == handle_ && event->type() == QEvent::WindowStateChange && event->spontaneous()) {
            // The window system's own word on the state.
            if (handle_->windowStates() & kSizingStates) {
                giveUp_.stop();
                // Asked once the window has been drawn at the size of the state: a compositor takes
                // the state as held only from then on, and ignores a request to leave it before.
                QTimer::singleShot(0, handle_, [handle = handle_] {
                    if (handle) handle->setWindowStates(handle->windowStates() & ~kSizingStates);
                });
            } else {
                fix();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void watchHandle() {
        QWindow* handle = window_->windowHandle();
        if (handle == handle_ || handle == nullptr) return;
        handle_ = handle;
        handle->installEventFilter(this);
        // Emitted as soon as the state is asked for, before the window system answers: the size is
        // set free in time for the size the answer brings.
        connect(handle, &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
            if (!(state & kSizingStates) || free_) return;
            free_ = true;
            window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            giveUp_.start();
        });
    }

    void fix() {
        if (!free_) return;
        free_ = false;
        giveUp_.stop();
        window_->setFixedSize(size_);
    }

    QWidget* window_;
    QPointer<QWindow> handle_;
    QSize size_;
    QTimer giveUp_;
    bool free_ = false;
};

} // namespace

void fixWindowSize(QWidget* window, QSize size) {
    window->setFixedSize(size);
    window->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    new FixedSizeKeeper(window, size);
}

} // namespace orvex
