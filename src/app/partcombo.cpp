#include "app/partcombo.h"

namespace wbx {

void FillPartCombo(const std::string& folder, const std::string& mask, QComboBox& combo, bool selectFirstFile,
                   TEnumerateCallback callback) {
    TStringList items;
    items.reserve(static_cast<size_t>(combo.count()));
    for (int i = 0; i < combo.count(); ++i) items.push_back(combo.itemText(i).toStdString());
    const size_t existing = items.size();
    EnumerateFiles(folder, mask, items, callback);
    QStringList added;
    for (size_t i = existing; i < items.size(); ++i) added.append(QString::fromStdString(items[i]));
    combo.addItems(added);
    combo.setCurrentIndex(selectFirstFile && combo.count() >= 2 ? 1 : 0);
}

}  // namespace wbx
