#pragma once
// TCompareWindow: two outfits side by side, in a window of its own (View ▸
// Compare…, Ctrl+K).
//   left    the current outfit: follows the main window's picks as they happen
//   right   a second outfit: a saved one (by name), a pasted share code, a copy
//           of the current one, changed item by item in its own lists
// Above each view its caption, below them the slots in which the two differ
// (their names in the right side's lists are marked too), and a status line
// for what could not be worn or drawn. What the data folder lacks falls back
// as it does in the main window (dressing.h: WearableOutfit).
//
// The two figures turn, tilt and scale together: a drag or the wheel in
// either view poses both, in the main view's steps and limits; Home (and the
// arrows, + and − on a view) as in the main view. The pose is the window's
// own; the main view's stays as it is.
//
// Escape closes the window; Ctrl+Q quits the program as from the main window
// (its settings and places kept); Ctrl+K, which brought the window forward,
// puts the main window in front again (the compare window stays open).
//
// Each view draws with its own offscreen renderer and only when something it
// shows changes; while the window is hidden the left side does not follow
// (it catches up when shown again), so a closed or idle window costs nothing.
//
// Its place and size are kept in the settings file with the main window's:
//   [window]  compare    the window's geometry (the toolkit's, base64)

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "app/keyhelprow.h"
#include "viewer/outfit.h"
#include "viewer/viewpose.h"

class QAction;
class QComboBox;
class QLabel;
class QStatusBar;

namespace wbx {

class TCompareView;
class TForm1;
class TMainWindow;
class TOutfitStore;

inline constexpr const char* kCurrentOutfitCaption = "Current outfit";

class TCompareWindow : public QWidget {
public:
    // A window of window's (closed with it); hidden until shown.
    explicit TCompareWindow(TMainWindow& window);
    ~TCompareWindow() override;

    // The main window's outfit changed (a composition or a body type): the
    // left side follows (at once when shown, else when shown again).
    void CurrentChanged();

    // The right side wears outfit (what cannot be worn falls back, told in
    // the status line) under caption.
    void ShowOutfit(const TOutfit& outfit, const QString& caption);
    // The right side wears the saved outfit of that name; false (and a status
    // line) when there is none.
    bool ShowSavedOutfit(const std::string& name);
    // The right side wears the share code's outfit; false, nothing changed and
    // the code's fault in the status line when it cannot be read.
    bool ShowShareCode(const QString& code);
    // The right side wears a copy of the current outfit.
    void CopyCurrent();
    // Changes one slot of the right side (item: a text of the slot's list, ""
    // for none) or its body type, as a pick in its lists does.
    void PickRightItem(TPartList list, const std::string& item);
    void PickRightBodyType(const std::string& bodyType);

    // The pose of both views.
    const TViewPose& Pose() const { return pose_; }
    void SetPose(const TViewPose& pose);

    // What the right side wears (after fallbacks), and the slots (and "body
    // type") in which it differs from the current outfit.
    const TOutfit& RightOutfit() const { return right_; }
    QStringList Differences() const;

    TCompareView& LeftView() const { return *leftView_; }
    TCompareView& RightView() const { return *rightView_; }
    QString LeftCaption() const;
    QString RightCaption() const;
    QString StatusText() const;
    QComboBox& SavedOutfits() const { return *savedOutfits_; }
    QComboBox& RightList(TPartList list) const { return *rightLists_[static_cast<size_t>(list)]; }
    QComboBox& RightBodyTypes() const { return *bodyTypes_; }

    // The keys the window answers to, for Help ▸ Keyboard and mouse: its own,
    // then those of a focused view.
    QList<TKeyHelpRow> KeyboardHelp() const;

    // Keeps the window's geometry in the settings file (not while the form
    // is gone, and not when settings are not written).
    void StoreGeometry();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildRightPanel();
    void BuildPoseActions();
    // Escape, Ctrl+Q and Ctrl+K.
    void BuildWindowActions();
    void FollowCurrent();
    // The right side drawn from right_, its lists showing it.
    void ApplyRight();
    void UpdateDifferences();
    void ReloadSavedNames();
    void ShowStatus(const QString& text);
    void RestoreGeometry();
    // Runs fn; what it raises goes to the status line.
    void Guarded(const std::function<void()>& fn);

    TMainWindow& window_;
    QPointer<TForm1> form_;  // null once the form is gone
    TOutfitStore& store_;
    TViewPose pose_;
    TOutfit right_;
    QString rightCaption_;
    std::string leftBodyType_;          // the body type the left view's model is of
    std::string rightBodyType_;         // and the right one's
    bool leftStale_ = true;             // the left side missed a change while hidden
    TCompareView* leftView_ = nullptr;  // Qt children, all of them
    TCompareView* rightView_ = nullptr;
    QLabel* leftCaption_ = nullptr;
    QLabel* rightCaptionLabel_ = nullptr;
    QLabel* differences_ = nullptr;
    QStatusBar* status_ = nullptr;
    QComboBox* savedOutfits_ = nullptr;
    QComboBox* bodyTypes_ = nullptr;
    std::array<QComboBox*, kPartListCount> rightLists_{};
    std::array<QLabel*, kPartListCount> rightLabels_{};
    QLabel* bodyTypeLabel_ = nullptr;
};

// The compare window of window: "Compare…" (Ctrl+K) in the View menu and on
// the tool bar shows it (and raises it when shown). Owned by window. Call it
// after start-up filled the lists.
TCompareWindow* InstallCompareWindow(TMainWindow& window);

}  // namespace wbx
