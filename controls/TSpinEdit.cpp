#include "controls/TSpinEdit.h"

namespace orvex {

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {}

} // namespace orvex
