// The main window's status bar: fixed-width panels with sunken frames; the last takes the rest.
// To assistive technology each panel is an item with a fixed name (its accessibleName) whose
// changing text is its value, so the clock changes a value once a second, never a name.
#pragma once

#include <QLabel>
#include <QWidget>
#include <vector>

namespace orvex {

// One panel of the status bar (a label with its own accessibility interface).
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit TStatusPanel(QWidget* parent);
};

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    TStatusBar(const std::vector<int>& panelWidths, QWidget* parent);

    QString panelText(int index) const;
    void setPanelText(int index, const QString& text); // repaints only when the text changed
    QLabel* panel(int index) const { return panels_.at(std::size_t(index)); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::vector<int> widths_;
    std::vector<QLabel*> panels_;
};

} // namespace orvex
