// The main window's status bar: fixed-width panels with sunken frames; the last takes the rest.
#pragma once

#include <QWidget>
#include <vector>

class QLabel;

namespace orvex {

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
