#pragma once
// TMainWindow: the viewer's window as the user meets it. The main form
// (TForm1: the 640 x 480 client area with its eleven lists and the figure) is
// its client area, and around it lie
//   - a menu bar (File, Outfit, View, Help) whose items show their shortcuts,
//   - a tool bar with the most used of them,
//   - a status bar for messages that need no dialog,
//   - dock areas for panels, which remember where they were,
//   - the context menu of the view (right button, or the menu key).
// The window grows by what lies around the form, so the form keeps its size:
// at the default size it is exactly the window its resource describes. A
// panel docked, undocked, shown or hidden makes the window grow or shrink by
// it, and the view keeps its size (unless the window is maximised).
//
// The form stays usable without this window; this window only adds to it.
// Whatever dresses the figure from here goes through the lists (dressing.h).
//
// Its settings live in the form's settings file, in a section of their own
// (the form's keys stay as they are), written when the window goes:
//   [window]  width, height   the client area's size (the normal, not the maximised one)
//             maximized       1 when the window was closed maximised
//             docks           where the tool bar and the panels were (the toolkit's state, base64)

#include <QList>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/formhost.h"
#include "app/keyhelprow.h"
#include "app/umain.h"

class QDockWidget;
class QMenu;
class QToolBar;

namespace wbx {

class TOutfitMenu;
class TPreviewPanel;

enum class TShellMenu { File, Outfit, View, Help };

class TMainWindow : public QMainWindow, public TFormHost {
public:
    // Builds the menus, bars and docks, then the form (whose creation runs
    // FormCreate), then, when the form started up, applies the stored window
    // settings and restores the last run's outfit and pose. The named
    // outfits live in outfitsFile (empty: the user's outfits file).
    explicit TMainWindow(TFormServices services, std::string outfitsFile = {});
    // Stores the window settings and the outfit (when the form started up),
    // then destroys the form (FormDestroy) while the window is still whole.
    ~TMainWindow() override;
    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;

    TForm1& Form() const { return *form_; }
    // The Outfit menu and the outfits behind it.
    TOutfitMenu& Outfits() const { return *outfits_; }
    // The flat preview of the composed textures.
    TPreviewPanel& Preview() const { return *preview_; }

    // The settings file the form and the window keep their settings in.
    const std::string& SettingsFileName() const { return services_.SettingsFileName; }

    QMenu* Menu(TShellMenu menu) const;
    QToolBar* ToolBar() const { return toolBar_; }
    // The view's context menu; its items are the menus' own actions.
    QMenu* ViewContextMenu() const { return contextMenu_; }

    // A new item at the end of a menu: text, a shortcut (shown in the menu,
    // active anywhere in the window) and what it does. The handler's
    // exceptions go to the form's exception report.
    QAction* AddMenuAction(TShellMenu menu, const QString& text, const QKeySequence& shortcut,
                           std::function<void()> handler);
    // Puts a menu's action on the tool bar, under label when the menu's text
    // is too long for the bar at the window's default size ("" keeps the
    // text); its tool tip tells the full text and the shortcut.
    void AddToolBarAction(QAction* action, const QString& label = QString());
    // Docks a panel (its object name must be set: the panels' places are
    // remembered by name) and puts its show/hide item with the shortcut in
    // the View menu. A panel seen before is put back where it was; a new one
    // starts hidden in area. Returns the show/hide item.
    QAction* AddDock(QDockWidget* dock, Qt::DockWidgetArea area, const QKeySequence& shortcut);

    // A message that needs no dialog, shown in the status bar for a while.
    void ShowStatus(const QString& text);
    QString StatusText() const;

    // The rows Help ▸ Keyboard and mouse shows: the mouse, every menu item
    // with a shortcut, then the rows of other windows (AddKeyboardHelp).
    QList<TKeyHelpRow> KeyboardHelp() const;
    // The keys of a window of its own, listed under heading after the main
    // window's.
    void AddKeyboardHelp(const QString& heading, const QList<TKeyHelpRow>& rows);

    // The client area back at its default size (640 x 480).
    void RestoreDefaultSize();

    // TFormHost
    QWidget* HostWindow() override { return this; }
    void AdoptForm(TForm1* form) override;
    void FitClientSize(int width, int height) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildMenus();
    void BuildPoseActions();
    void ShowKeyboardHelp();
    void ShowAbout();
    // Fits the window to the client size kept, once the layout has settled.
    void ScheduleFit();
    void ReadWindowSettings();
    void StoreWindowSettings();

    TFormServices services_;
    TForm1* form_ = nullptr;            // owned (a Qt child, deleted first by the destructor)
    TOutfitMenu* outfits_ = nullptr;    // owned (a Qt child)
    TPreviewPanel* preview_ = nullptr;  // owned (a Qt child)
    QMenu* fileMenu_ = nullptr;
    QMenu* outfitMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QList<TKeyHelpRow> otherKeys_;  // AddKeyboardHelp's rows, headings included

    QSize clientSize_;      // the size the view keeps while panels come and go
    bool fitting_ = false;  // the window is being sized by FitClientSize
    bool fitScheduled_ = false;
    bool stateRestored_ = false;  // the docks' stored places were applied
};

}  // namespace wbx
