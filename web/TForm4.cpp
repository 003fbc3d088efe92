#include "web/TForm4.h"

namespace orvex {

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Geben Sie bitte eine URL ein.."));
    resize(300, 130);
}

} // namespace orvex
