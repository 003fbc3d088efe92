// Numeric spin edit: an integer field with up/down arrows, a value, a minimum and a maximum.
#pragma once

#include <QSpinBox>

namespace orvex {

class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);
};

} // namespace orvex
