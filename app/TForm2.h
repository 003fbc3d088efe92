// The About window.
#pragma once

#include <QDialog>

namespace orvex {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
};

} // namespace orvex
