// The PageRank window: an address field, a rank field and OK. Created at start-up and kept for the
// whole run; the main window's menu shows it modally. UI thread only.
#pragma once

#include <QDialog>
#include <QPointer>

class QGroupBox;
class QLineEdit;

namespace orvex {

class TlxButton;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    QGroupBox* GroupBox6 = nullptr;
    QLineEdit* Edit3 = nullptr; // the address
    QLineEdit* Edit4 = nullptr; // the rank
    TlxButton* lxButton8 = nullptr;

    void lxButton8Click();
    void FormKeyPress(char16_t& key);

    // Shown when OK is pressed with an empty address.
    static const QString kEmptyAddressNotice;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void centreOverOwner();
    QPointer<QWidget> lastFocus_;
};

} // namespace orvex
