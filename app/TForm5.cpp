#include "app/TForm5.h"

namespace orvex {

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("MARKENNAMEN UND WARENZEICHEN "));
    setFixedSize(333, 348);
}

} // namespace orvex
