#include "controls/CrispFrame.h"

#include <QEvent>
#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <cmath>

namespace orvex {

namespace {

// QFrame fills in the style option of its frame in a protected member; this reaches it from outside.
struct FrameOption : QFrame {
    static void of(const QFrame* frame, QStyleOptionFrame* option) {
        (frame->*&FrameOption::initStyleOption)(option);
    }
};

class CrispFrameFilter : public QObject {
public:
    explicit CrispFrameFilter(QFrame* frame) : QObject(frame), frame_(frame) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != frame_ || event->type() != QEvent::Paint) return false;
        const qreal ratio = frame_->devicePixelRatio();
        if (ratio == std::floor(ratio) || frame_->frameWidth() == 0) return false;
        static_cast<QObject*>(frame_)->event(event); // the frame's own paint, then the lines over it

        QStyleOptionFrame option;
        FrameOption::of(frame_, &option);
        QImage lines(frame_->size(), QImage::Format_ARGB32_Premultiplied);
        lines.fill(Qt::transparent);
        {
            QPainter painter(&lines);
            frame_->style()->drawControl(QStyle::CE_ShapedFrame, &option, &painter, frame_);
        }
        QPainter painter(frame_);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(frame_->rect(), lines);
        return true;
    }

private:
    QFrame* frame_;
};

} // namespace

void keepFrameCrisp(QFrame* frame) {
    frame->installEventFilter(new CrispFrameFilter(frame));
}

} // namespace orvex
