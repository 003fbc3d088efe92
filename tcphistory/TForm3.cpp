#include "tcphistory/TForm3.h"

namespace orvex {

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral(" TCPHistory "));
    resize(702, 484);
}

} // namespace orvex
