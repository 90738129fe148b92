#pragma once
// TWardrobeBrowser: the wardrobe browser, a dockable panel of the main window.
// One tab per part list holds a grid of the list's items, each a thumbnail of
// its layers with the item's ID under it; the item the figure wears is
// highlighted. The search field (Ctrl+F) filters every list at once by ID and
// shows how many items match; the Back switch shows the back layers instead.
//
// Picking an item (click, Enter or double-click) goes the same way as a pick
// in the slot's drop-down list: the list's selection changes, then its OnSelect
// handler runs. A change of the list's selection from anywhere moves the
// highlight.
//
// Thumbnails are made on worker threads (TThumbnailLoader) for the tab shown,
// the rows in view first, with a progress bar while they are being made, and
// kept in the disk cache given.

#include <QDockWidget>
#include <array>
#include <memory>
#include <string>

#include "viewer/itemsearch.h"
#include "viewer/partlists.h"
#include "viewer/thumbnail.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QTabWidget;

namespace wbx {

class TComboBox;
class TMainWindow;
class TThumbnailLoader;
class TWardrobeModel;

class TWardrobeBrowser : public QDockWidget {
public:
    // lists: the part lists by TPartList (not owned; they must outlive the
    // browser). avatarFolder: the layer files' folder; cacheFolder: the
    // thumbnails' disk cache ("": none).
    TWardrobeBrowser(const std::array<TComboBox*, kPartListCount>& lists, std::string avatarFolder,
                     std::string cacheFolder, QWidget* parent = nullptr);
    ~TWardrobeBrowser() override;

    // Reads the part lists' items again (after they were filled).
    void Reload();

    // Dresses the figure in item (an index of list's items) as a pick in the
    // drop-down list would.
    void Pick(TPartList list, int item);
    // Shows the tab of list.
    void ShowList(TPartList list);
    TPartList ShownList() const;
    // Filters all lists by query; returns the number of matching items.
    size_t Search(const QString& query);
    // Front or back layers in the thumbnails.
    void SetSide(TThumbnailSide side);
    TThumbnailSide Side() const { return side_; }

    // Shows and hides the panel (F2), and the search (Ctrl+F).
    QAction* ToggleAction() const { return toggleAction_; }
    QAction* SearchAction() const { return searchAction_; }

    // The panel's contents, built when first shown or asked for.
    TWardrobeModel& Model(TPartList list) const { return Build(), *models_[static_cast<size_t>(list)]; }
    QListView& Grid(TPartList list) const { return Build(), *grids_[static_cast<size_t>(list)]; }
    QLineEdit& SearchField() const { return Build(), *searchField_; }
    QLabel& CountLabel() const { return Build(), *countLabel_; }
    QProgressBar& Progress() const { return Build(), *progress_; }
    TThumbnailLoader& Loader() const { return *loader_; }
    bool Built() const { return built_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Builds the contents once: a browser that is never shown costs a dock
    // and its actions only. Const because the accessors build on demand.
    void Build() const;
    void BuildContents();

    void RequestAll(TPartList list);
    void UpdateProgress();
    void UpdateTabTitles(const TItemMatches& matches);
    void FocusGrid();

    mutable bool built_ = false;
    std::array<TComboBox*, kPartListCount> lists_;
    std::array<TWardrobeModel*, kPartListCount> models_{};  // Qt children
    std::array<QListView*, kPartListCount> grids_{};        // Qt children
    std::unique_ptr<TThumbnailLoader> loader_;
    TItemSearch search_;
    TThumbnailSide side_ = TThumbnailSide::Front;
    QTabWidget* tabs_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QCheckBox* backSwitch_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QAction* toggleAction_ = nullptr;
    QAction* searchAction_ = nullptr;
};

// The names of the part lists as the browser's tabs show them.
const char* PartListTitle(TPartList list);

// The browser for the window's form, docked on the right (hidden until shown
// from the View menu or with F2), with "Find Item…" (Ctrl+F) in the View menu
// showing it and its search field. Owned by window. Call it after start-up
// filled the lists.
TWardrobeBrowser* InstallWardrobeBrowser(TMainWindow& window, const std::string& cacheFolder);

}  // namespace wbx
