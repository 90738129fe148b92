#pragma once
// Filling a part list from the avatar folder.

#include <QComboBox>
#include <string>

#include "viewer/fileutils.h"

namespace wbx {

// Appends one item per matching file (through callback, normally
// AddFilePrefix) after the items the combo already holds, then selects index 1
// (the first file found) when selectFirstFile is set and there is one, else
// index 0 ("なし" in every part list). Items are never removed. The selection
// is made by code, so OnSelect is not called.
void FillPartCombo(const std::string& folder, const std::string& mask, QComboBox& combo, bool selectFirstFile,
                   TEnumerateCallback callback);

}  // namespace wbx
