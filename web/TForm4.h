// The PageRank window.
#pragma once

#include <QDialog>

namespace orvex {

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};

} // namespace orvex
