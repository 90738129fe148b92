#include "app/dressing.h"

#include "app/combobox.h"
#include "app/umain.h"
#include "base/filestream.h"
#include "viewer/datafolder.h"

namespace wbx {

std::vector<std::string> ListItems(const TComboBox& combo) {
    std::vector<std::string> items;
    items.reserve(static_cast<size_t>(combo.count()));
    for (int i = 0; i < combo.count(); ++i) items.push_back(combo.itemText(i).toStdString());
    return items;
}

void PickListItem(TComboBox& combo, int index) {
    combo.setCurrentIndex(index);
    // The toolkit's notification of a user's pick, which OnSelect hangs on.
    emit combo.activated(index);
}

namespace {

// The index of a part-list item; "" is "なし".
int PartIndex(const TComboBox& combo, const std::string& item) {
    if (item.empty()) return 0;
    const int index = FindItem(ListItems(combo), item);
    // "なし" names no item: it is not found as one.
    return index > 0 ? index : -1;
}

}  // namespace

bool PickItem(TForm1& form, TPartList list, const std::string& item) {
    TComboBox& combo = *form.PartCombo(list);
    const int index = PartIndex(combo, item);
    if (index < 0) return false;
    PickListItem(combo, index);
    return true;
}

bool PickBodyType(TForm1& form, const std::string& bodyType) {
    const int index = FindItem(ListItems(*form.cbModels), bodyType);
    if (index < 0) return false;
    PickListItem(*form.cbModels, index);
    return true;
}

int StartupIndex(const TComboBox& combo, TPartList list) {
    return kPartLists[static_cast<size_t>(list)].SelectFirstFile && combo.count() >= 2 ? 1 : 0;
}

TOutfit CurrentOutfit(const TForm1& form) {
    TOutfit outfit;
    outfit.BodyType = form.cbModels->Text();
    for (int list = 0; list < kPartListCount; ++list) {
        const TComboBox& combo = *form.PartCombo(static_cast<TPartList>(list));
        outfit.Items[static_cast<size_t>(list)] = combo.currentIndex() > 0 ? combo.Text() : std::string();
    }
    return outfit;
}

namespace {

// What is missing, and (fallback not empty) what is worn instead.
std::string MissingItemText(TPartList list, const std::string& item, const std::string& fallback) {
    std::string text =
        "The " + std::string(SlotName(list)) + " item \"" + item + "\" is not in the data folder";
    if (!fallback.empty())
        text +=
            "; " + std::string(SlotName(list)) + " falls back to its start-up choice, \"" + fallback + "\"";
    return text + ".";
}

// The model list's index of the outfit's body type, -1 when it has none;
// problem tells why it cannot be worn ("" when it can), and with shown what
// stays on screen instead.
int BodyTypeIndex(const TForm1& form, const TOutfit& outfit, bool shown, std::string& problem) {
    const int type = FindItem(ListItems(*form.cbModels), outfit.BodyType);
    if (type < 0)
        problem = "The body type \"" + outfit.BodyType + "\" is unknown";
    else if (!FileExists(ModelFileName(form.cbModels->itemText(type).toStdString())))
        problem = "The body type " + outfit.BodyType + " has no model file in the data folder";
    if (!problem.empty()) problem += shown ? "; " + form.cbModels->Text() + " is shown instead." : ".";
    return type;
}

}  // namespace

TDressProblems OutfitProblems(const TForm1& form, const TOutfit& outfit) {
    TDressProblems problems;
    for (int i = 0; i < kPartListCount; ++i) {
        const auto list = static_cast<TPartList>(i);
        const TComboBox& combo = *form.PartCombo(list);
        const std::string& item = outfit.Items[static_cast<size_t>(i)];
        if (PartIndex(combo, item) < 0) problems.push_back(MissingItemText(list, item, std::string()));
    }
    std::string problem;
    BodyTypeIndex(form, outfit, false, problem);
    if (!problem.empty()) problems.push_back(problem);
    return problems;
}

TOutfit WearableOutfit(const TForm1& form, const TOutfit& outfit, TDressProblems& problems) {
    TOutfit worn;
    for (int i = 0; i < kPartListCount; ++i) {
        const auto list = static_cast<TPartList>(i);
        const TComboBox& combo = *form.PartCombo(list);
        const std::string& item = outfit.Items[static_cast<size_t>(i)];
        int index = PartIndex(combo, item);
        if (index < 0) {
            index = StartupIndex(combo, list);
            problems.push_back(MissingItemText(list, item, combo.itemText(index).toStdString()));
        }
        worn.Items[static_cast<size_t>(i)] = index > 0 ? combo.itemText(index).toStdString() : std::string();
    }
    std::string problem;
    const int type = BodyTypeIndex(form, outfit, true, problem);
    if (!problem.empty()) problems.push_back(problem);
    worn.BodyType = problem.empty() ? form.cbModels->itemText(type).toStdString() : form.cbModels->Text();
    return worn;
}

TDressProblems DressOutfit(TForm1& form, const TOutfit& outfit) {
    TDressProblems problems;
    const TOutfit worn = WearableOutfit(form, outfit, problems);
    TComboBox* changed = nullptr;
    for (int i = 0; i < kPartListCount; ++i) {
        TComboBox& combo = *form.PartCombo(static_cast<TPartList>(i));
        const int index = PartIndex(combo, worn.Items[static_cast<size_t>(i)]);
        if (combo.currentIndex() != index) {
            combo.setCurrentIndex(index);
            if (changed == nullptr) changed = &combo;
        }
    }
    // One composition for all the lists, through a part list's own handler.
    if (changed != nullptr && changed->OnSelect) changed->OnSelect(changed);

    const int type = FindItem(ListItems(*form.cbModels), worn.BodyType);
    if (type >= 0 && type != form.cbModels->currentIndex()) PickListItem(*form.cbModels, type);
    return problems;
}

TPartItems PartItems(const TForm1& form) {
    TPartItems items;
    for (int list = 0; list < kPartListCount; ++list)
        items[static_cast<size_t>(list)] = ListItems(*form.PartCombo(static_cast<TPartList>(list)));
    return items;
}

TViewPose FormPose(const TForm1& form) { return TViewPose{form.Yaw, form.Pitch, form.Zoom}; }

void SetFormPose(TForm1& form, const TViewPose& pose) {
    form.Yaw = pose.Yaw;
    form.Pitch = pose.Pitch;
    form.Zoom = pose.Zoom;
    form.UpdateModelPose();
}

}  // namespace wbx
