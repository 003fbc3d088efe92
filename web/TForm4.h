// The PageRank window: an address field, a rank field and OK. Created at start-up and kept for the
// whole run; the main window's menu shows it modally. UI thread only; the query itself runs on a
// worker thread through Operations.
#pragma once

#include "web/WebFetch.h"

#include <QDialog>
#include <QPointer>

class QGroupBox;
class QLineEdit;

namespace orvex {

class TlxButton;
class OperationRunner;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    QGroupBox* GroupBox6 = nullptr;
    QLineEdit* Edit3 = nullptr; // the address
    QLineEdit* Edit4 = nullptr; // the rank
    TlxButton* lxButton8 = nullptr;

    // How long the query may wait for its connection, for each read and in all.
    WebTimeouts webTimeouts;
    // Runs the query off the UI thread: the main window's runner when this window has one as owner.
    OperationRunner* Operations = nullptr;

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
