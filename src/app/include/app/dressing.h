#pragma once
// Dressing the figure from anywhere (menus, panels, outfits, share codes, the
// command line) the way a pick in a list does it: the list's selection
// changes, then the list's own handler runs (TextureChange for a part list,
// cbModelsSelect for the model list). So every way of dressing shows the
// choice in the list, recomposes or reloads exactly as the list would, and
// anyone listening to the list's picks hears of it.

#include <string>
#include <vector>

#include "viewer/outfit.h"
#include "viewer/partlists.h"
#include "viewer/viewpose.h"

namespace wbx {

class TComboBox;
class TForm1;

// The items of a list, in order, as texts.
std::vector<std::string> ListItems(const TComboBox& combo);

// Picks index in combo as the user does: the selection changes, then the
// list's pick notification (OnSelect, and the toolkit's signal) runs. Even
// for the item already selected, as a pick in the list does.
void PickListItem(TComboBox& combo, int index);

// Picks item in a part list ("" picks "なし"); an item is found as FindItem
// finds it. False, and nothing happens, when the list has no such item.
bool PickItem(TForm1& form, TPartList list, const std::string& item);
// Picks a body type in the model list; false when it has no such type.
bool PickBodyType(TForm1& form, const std::string& bodyType);

// The index a part list starts at: its first file for the lists that start
// dressed (when it has one), else "なし".
int StartupIndex(const TComboBox& combo, TPartList list);

// What the figure wears now, as the lists show it.
TOutfit CurrentOutfit(const TForm1& form);

// What DressOutfit could not put on: one line per slot (or the body type)
// that fell back, in words for the status bar.
using TDressProblems = std::vector<std::string>;

// What of outfit the data folder lacks (an item no list holds, a body type
// without its model file), one line each, without dressing anything; empty
// when the whole outfit can be worn.
TDressProblems OutfitProblems(const TForm1& form, const TOutfit& outfit);

// The outfit as the lists can wear it: each item in its list's spelling, an
// item the list does not hold replaced by the slot's start-up choice, a body
// type that cannot be shown replaced by the one the model list shows. Each
// replacement is added to problems, in the words DressOutfit uses.
TOutfit WearableOutfit(const TForm1& form, const TOutfit& outfit, TDressProblems& problems);

// Dresses the whole outfit at once: every part list's selection changes,
// then the part lists' handler runs once (one composition), then the model
// list is picked when the body type differs from the one shown. An item the
// list does not hold falls back to the slot's start-up choice; a body type
// whose model file is missing keeps the model shown. Each fallback is
// described in the result.
TDressProblems DressOutfit(TForm1& form, const TOutfit& outfit);

// The items of every part list, as the lists hold them.
TPartItems PartItems(const TForm1& form);

// The pose the form shows, and the form posed (the figure follows at once).
TViewPose FormPose(const TForm1& form);
void SetFormPose(TForm1& form, const TViewPose& pose);

}  // namespace wbx
