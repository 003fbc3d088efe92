// An editable combo box whose drop-down list is built when it is first needed. QComboBox makes the
// list (a window of its own with a list view, a selection model and a delegate) as soon as it is
// made editable; here the box gets its line edit at once and the list when finishDropDown() is
// called (right after the window's first paint, say) or when it first drops down, whichever comes
// first. The box looks and behaves as an editable QComboBox from the start.
#pragma once

#include <QComboBox>

#include <functional>

namespace orvex {

class EditCombo : public QComboBox {
    Q_OBJECT
public:
    // dropDown sets up the list once it exists (its delegate, its font).
    EditCombo(QWidget* parent, std::function<void(QComboBox&)> dropDown);

    void finishDropDown();
    void showPopup() override;

private:
    std::function<void(QComboBox&)> dropDown_;
};

} // namespace orvex
