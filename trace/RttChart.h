// A small live chart of round-trip times over the last rounds: the target's line and, when a hop
// is picked, that hop's line beside it; a lost probe is a red mark on the floor. Drawn with
// QPainter from the palette (readable in light and dark desktops), crisp at any device pixel
// ratio. UI thread only.
#pragma once

#include <QString>
#include <QWidget>

#include <deque>
#include <optional>

namespace orvex {

class RttChart : public QWidget {
    Q_OBJECT
public:
    static constexpr std::size_t kRounds = 120; // rounds kept and shown

    explicit RttChart(QWidget* parent = nullptr);

    struct Series {
        QString label;                          // "Ziel 10.0.0.1", "Hop 2 10.0.1.1"
        std::deque<std::optional<double>> rtts; // oldest first; nullopt: lost
    };
    // The target's and the picked hop's series (the hop's empty for none); repaints.
    void setSeries(Series target, Series hop);
    void clear();

    QSize sizeHint() const override { return {480, 130}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Series target_;
    Series hop_;
};

// The top of the time axis for values up to most: 1, 2 or 5 times a power of ten, at least 1 ms.
double chartScaleTop(double most);

} // namespace orvex
