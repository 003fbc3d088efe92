// The trademark notice.
#pragma once

#include <QDialog>

namespace orvex {

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
};

} // namespace orvex
