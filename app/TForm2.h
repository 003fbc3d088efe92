// The About window: the Orvex artwork with two click areas over its web-site and e-mail lines,
// the version label and the red banner; each click area and the banner open one of the project's
// pages in the default browser (through urlOpener()). Escape closes it; Tab reaches the two click
// areas, and Enter or Space opens the page of the one that has the focus. Created once at
// start-up, shown modally from the Info menu. UI thread only.
#pragma once

#include <QDialog>

class QLabel;

namespace orvex {

class TMTranBtn;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;       // artwork (JPEG)
    QWidget* Bevel1 = nullptr;      // the line above the banner
    QLabel* Image2 = nullptr;       // banner (24-bit bitmap)
    TMTranBtn* MTranBtn1 = nullptr; // over the web-site line
    TMTranBtn* MTranBtn2 = nullptr; // over the e-mail lines
    QLabel* Label1 = nullptr;       // version and release date

    void Image2Click();
    void MTranBtn1Click();
    void MTranBtn2Click();
    void FormKeyPress(char16_t& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openPage(const char* address);
    bool bannerPressed_ = false;
};

} // namespace orvex
