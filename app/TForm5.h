// The trademark notice: a fixed German text and "Okay", the only way out (no title-bar buttons,
// Escape does nothing; Enter presses "Okay"). Created once at start-up, shown modally from the Info menu. UI
// thread only.
#pragma once

#include <QDialog>

namespace orvex {

class TlxButton;
class TTextView;

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    // The notice's thirteen lines, as shown.
    static const QStringList kNoticeLines;

    TTextView* Memo1 = nullptr;
    TlxButton* PingButton = nullptr; // "Okay"

    void PingButtonClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool closingByOkay_ = false;
};

} // namespace orvex
