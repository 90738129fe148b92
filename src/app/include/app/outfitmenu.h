#pragma once
// TOutfitMenu: the Outfit menu of the main window and what stands behind it.
//   Copy share code      Ctrl+Shift+C   the outfit worn, as a share code, to the clipboard
//   Paste share code     Ctrl+V         dresses the figure in the clipboard's code
//   Random outfit        Ctrl+R         one item of each list at random
//   Save outfit as...    Ctrl+Shift+S   stores the outfit worn under a name
//   Load outfit          (submenu)      the stored outfits by name
//   Rename outfit        (submenu)
//   Delete outfit        (submenu)
// Named outfits live in the outfits file (outfitstore.h). Every way of
// dressing goes through the lists (dressing.h); what cannot be worn falls
// back to the slot's start-up choice with a line in the status bar.
//
// It also keeps the outfit and pose between runs: RestoreLastOutfit at
// start-up, StoreLastOutfit when the window goes ([outfit] of the settings
// file, storedoutfit.h).
//
// The questions it asks (a name, a confirmation) and the messages that need a
// dialog go through TOutfitPrompts, so tests answer them without dialogs.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "viewer/outfit.h"
#include "viewer/outfitstore.h"

class QAction;
class QMenu;

namespace wbx {

class TMainWindow;

struct TOutfitPrompts {
    // Asks for a text (title, question, suggested text); nullopt when cancelled.
    std::function<std::optional<QString>(const QString& title, const QString& label, const QString& text)>
        AskText;
    // Asks a yes/no question; true for yes.
    std::function<bool(const QString& title, const QString& question)> Confirm;
    // Tells of a failure that needs acknowledging.
    std::function<void(const QString& title, const QString& message)> Warn;
};

// Dialogs for each prompt.
TOutfitPrompts DialogOutfitPrompts(QWidget* parent);

class TOutfitMenu : public QObject {
public:
    // Puts its items in the window's Outfit menu (and the tool bar and the
    // view's menu where they belong). outfitsFile: the named outfits' file;
    // settingsFile: where the last outfit is kept.
    TOutfitMenu(TMainWindow& window, std::string outfitsFile, std::string settingsFile);
    ~TOutfitMenu() override;

    TOutfitPrompts Prompts;

    // Dresses the figure and poses it as the last run left it. What cannot be
    // worn any more (or a damaged stored code) is told in the status bar.
    void RestoreLastOutfit();
    // Keeps the outfit and pose in the settings file.
    void StoreLastOutfit();

    // Dresses the figure in outfit; the lines of what fell back go to the
    // status bar. Returns whether everything could be worn.
    bool Dress(const TOutfit& outfit);
    // Reads a share code and dresses the figure in it; a bad code is told in
    // the status bar (and nothing changes). Returns whether it was read.
    bool DressFromShareCode(const QString& code);

    void CopyShareCode();
    void PasteShareCode();
    void DressRandomly();
    // Asks for a name (confirming before replacing one) and saves the outfit.
    void SaveOutfitAs();
    void LoadOutfit(const std::string& name);
    void RenameOutfit(const std::string& name);
    void DeleteOutfit(const std::string& name);

    TOutfitStore& Store() { return store_; }

private:
    void RebuildNamedMenus();
    // Tells the status bar; several lines are joined.
    void ShowProblems(const std::vector<std::string>& problems);

    TMainWindow& window_;
    std::string settingsFile_;
    TOutfitStore store_;
    QMenu* loadMenu_ = nullptr;
    QMenu* renameMenu_ = nullptr;
    QMenu* deleteMenu_ = nullptr;
    std::mt19937_64 random_;  // for random outfits, seeded at construction
};

}  // namespace wbx
