#include "trace/RttChart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// Colours that keep their contrast on a light and on a dark base.
QColor lineColour(const QPalette& palette, bool target) {
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    if (target) return dark ? QColor(90, 170, 255) : QColor(0, 90, 200);
    return dark ? QColor(255, 180, 60) : QColor(200, 100, 0);
}

QColor lossColour(const QPalette& palette) {
    return palette.color(QPalette::Base).lightness() < 128 ? QColor(255, 90, 90) : QColor(200, 0, 0);
}

QString msText(double ms) {
    return ms >= 1 ? QString::number(ms, 'f', 0) : QString::number(ms, 'g', 2);
}

} // namespace

double chartScaleTop(double most) {
    if (!(most > 1)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(most)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (most <= step * power) return step * power;
    return 10 * power;
}

RttChart::RttChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("chartRtt"));
    setAccessibleName(QStringLiteral("Antwortzeiten"));
    setMinimumHeight(110);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RttChart::setSeries(Series target, Series hop) {
    target_ = std::move(target);
    hop_ = std::move(hop);
    // What a screen reader says about the picture: the latest figures.
    QString description;
    for (const Series* s : {&target_, &hop_}) {
        if (s->rtts.empty()) continue;
        const auto& last = s->rtts.back();
        description +=
            s->label + QStringLiteral(": ") +
            (last ? QStringLiteral("zuletzt %1 ms").arg(*last, 0, 'f', 1) : QStringLiteral("verloren")) +
            QStringLiteral(". ");
    }
    setAccessibleDescription(description.trimmed());
    update();
}

void RttChart::clear() {
    setSeries({}, {});
}

void RttChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Base));
    const QFontMetrics fm(font());
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("5000 ms")) + 6;
    // Plot area on whole pixels; lines of width 1 sit on pixel centres so they stay sharp.
    const QRect plot(labelWidth, fm.height() + 6, width() - labelWidth - 8,
                     height() - fm.height() - 6 - fm.height() / 2 - 8);
    if (plot.width() < 20 || plot.height() < 20) return;

    double most = 0;
    for (const Series* s : {&target_, &hop_})
        for (const auto& v : s->rtts)
            if (v) most = std::max(most, *v);
    const double top = chartScaleTop(most * 1.1);

    // Grid: floor, middle and top, labelled in ms.
    QPen grid(pal.color(QPalette::Mid), 0);
    grid.setCosmetic(true);
    for (int i = 0; i <= 2; ++i) {
        const int y = plot.bottom() - (plot.height() * i) / 2;
        p.setPen(grid);
        p.drawLine(QPointF(plot.left(), y + 0.5), QPointF(plot.right(), y + 0.5));
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QRect(0, y - fm.height() / 2, labelWidth - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, msText(top * i / 2) + QStringLiteral(" ms"));
    }

    auto xOf = [&](std::size_t index, std::size_t count) {
        // The newest value sits at the right edge; kRounds values fill the width.
        const double step = static_cast<double>(plot.width()) / (kRounds - 1);
        return plot.right() - step * static_cast<double>(count - 1 - index);
    };
    auto yOf = [&](double ms) { return plot.bottom() - std::min(ms / top, 1.0) * plot.height(); };

    p.setRenderHint(QPainter::Antialiasing, true);
    int legendX = plot.left();
    for (const Series* s : {&hop_, &target_}) {
        if (s->rtts.empty()) continue;
        const bool isTarget = s == &target_;
        const QColor colour = lineColour(pal, isTarget);
        QPainterPath path;
        bool open = false;
        const std::size_t n = s->rtts.size();
        for (std::size_t i = 0; i < n; ++i) {
            const auto& v = s->rtts[i];
            if (!v) {
                open = false;
                continue;
            }
            const QPointF point(xOf(i, n), yOf(*v));
            if (open)
                path.lineTo(point);
            else
                path.moveTo(point);
            open = true;
            if (i + 1 == n || !s->rtts[i + 1]) path.addEllipse(point, 1.2, 1.2); // a lone point shows too
        }
        QPen pen(colour, isTarget ? 2.0 : 1.5);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        // Lost probes: short red marks on the floor.
        QPen loss(lossColour(pal), 2.0);
        loss.setCosmetic(true);
        p.setPen(loss);
        for (std::size_t i = 0; i < n; ++i)
            if (!s->rtts[i])
                p.drawLine(QPointF(xOf(i, n), plot.bottom() + 1.0), QPointF(xOf(i, n), plot.bottom() - 5.0));
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    // Legend above the plot, target first.
    for (const Series* s : {&target_, &hop_}) {
        if (s->label.isEmpty()) continue;
        const QColor colour = lineColour(pal, s == &target_);
        p.fillRect(QRect(legendX, 3 + fm.height() / 2 - 1, 14, 3), colour);
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QPoint(legendX + 18, 3 + fm.ascent()), s->label);
        legendX += 18 + fm.horizontalAdvance(s->label) + 16;
    }
    QPen frame(pal.color(QPalette::Mid), 0);
    frame.setCosmetic(true);
    p.setPen(frame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(plot).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace orvex
