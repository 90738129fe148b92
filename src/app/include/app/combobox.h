#pragma once
// TComboBox: the main window's drop-down list. The user can only pick (not
// type); it shows twelve items at a time and reports three notifications:
//   OnSelect    the user picked an item (never for a change made by code)
//   OnDropDown  the list is about to open
//   OnCloseUp   the list has closed
// A notification is called only when set.

#include <QComboBox>
#include <functional>

namespace wbx {

class TComboBox : public QComboBox {
public:
    using TNotifyEvent = std::function<void(TComboBox* sender)>;

    explicit TComboBox(QWidget* parent);

    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;

    // The number of items shown when the list is open (the toolkit's DropDownCount).
    int DropDownCount() const { return maxVisibleItems(); }
    // The selected item's text, "" when nothing is selected.
    std::string Text() const;

    void showPopup() override;
    void hidePopup() override;

private:
    bool open_ = false;
};

}  // namespace wbx
