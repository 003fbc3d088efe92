#include "controls/EditCombo.h"

#include <QLineEdit>

#include <utility>

namespace orvex {

EditCombo::EditCombo(QWidget* parent, std::function<void(QComboBox&)> dropDown)
    : QComboBox(parent), dropDown_(std::move(dropDown)) {
    // What setEditable(true) does for the box itself, without asking for the list.
    auto* edit = new QLineEdit(this);
    edit->setPalette(palette());
    setLineEdit(edit);
}

void EditCombo::finishDropDown() {
    if (!dropDown_) return;
    const auto dropDown = std::exchange(dropDown_, {});
    dropDown(*this);
}

void EditCombo::showPopup() {
    finishDropDown();
    QComboBox::showPopup();
}

} // namespace orvex
