// The main window's status bar: fixed-width panels with sunken frames; the last takes the rest.
// To assistive technology each panel is an item with a fixed name (its accessibleName) whose
// changing text is its value, so the clock changes a value once a second, never a name.
#pragma once

#include "controls/GlyphLine.h"

#include <QImage>
#include <QLabel>
#include <QWidget>
#include <functional>
#include <vector>

namespace orvex {

// One panel of the status bar (a label with its own accessibility interface). A panel given quick
// characters draws texts made of them from glyphs shaped once, once it has checked on this display
// that they come out pixel for pixel as the label draws them; any other text, or any panel where
// the check fails, is drawn by the label.
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit TStatusPanel(QWidget* parent);

    // What brings the text up to date where it is not kept so while nobody sees it (the clock off
    // the screen); called before assistive technology reads it.
    void setUpdater(std::function<void()> updater);
    void bringUpToDate();

    void setQuickCharacters(const QString& characters);
    void showText(const QString& text);
    bool drawsQuickly() const; // whether the text shown now is drawn from the prepared glyphs

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Quick { Unchecked, Exact, Off };
    bool layoutAllows() const;
    void checkQuick();
    QImage rendered(bool quick);
    QRect textArea() const;

    std::function<void()> updater_;
    QString quickCharacters_;
    GlyphLine glyphs_;
    Quick quick_ = Quick::Unchecked;
    bool rendering_ = false; // drawing by the label on purpose, for the check
    qreal checkedRatio_ = 0;
    QImage::Format checkedFormat_ = QImage::Format_Invalid;
    QImage::Format paintedFormat_ = QImage::Format_Invalid; // of the last paint but grabs and checks
};

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    TStatusBar(const std::vector<int>& panelWidths, QWidget* parent);

    QString panelText(int index) const;
    void setPanelText(int index, const QString& text); // repaints only when the text changed
    TStatusPanel* panel(int index) const { return panels_.at(std::size_t(index)); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::vector<int> widths_;
    std::vector<TStatusPanel*> panels_;
};

} // namespace orvex
