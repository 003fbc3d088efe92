#include "app/TForm2.h"

namespace orvex {

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(287, 446);
}

} // namespace orvex
