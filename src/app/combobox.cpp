#include "app/combobox.h"

namespace wbx {

TComboBox::TComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setMaxVisibleItems(12);
    // activated is sent for the user's choices only, as OnSelect must be.
    connect(this, &QComboBox::activated, this, [this](int) {
        if (OnSelect) OnSelect(this);
    });
}

std::string TComboBox::Text() const {
    if (currentIndex() < 0) return std::string();
    return currentText().toStdString();
}

void TComboBox::showPopup() {
    if (!open_) {
        open_ = true;
        if (OnDropDown) OnDropDown(this);
    }
    QComboBox::showPopup();
}

void TComboBox::hidePopup() {
    QComboBox::hidePopup();
    if (open_) {
        open_ = false;
        if (OnCloseUp) OnCloseUp(this);
    }
}

}  // namespace wbx
