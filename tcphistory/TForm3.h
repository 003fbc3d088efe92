// The TCP connection history window.
#pragma once

#include <QDialog>

namespace orvex {

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};

} // namespace orvex
