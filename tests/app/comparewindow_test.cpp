// The compare window, driven offscreen on generated sample data: each view
// shows its outfit as the offscreen renderer draws it, the left one follows
// the main window's picks (and only draws when something changed), a drag or
// the wheel in one view poses both, a saved outfit whose item went away falls
// back with a status line, and the window's place comes back.
#include "app/comparewindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>

#include "app/compareview.h"
#include "app/dressing.h"
#include "app/exportactions.h"
#include "app/mainwindow.h"
#include "app/outfitmenu.h"
#include "app/rgbaqimage.h"
#include "viewer/datafolder.h"
#include "viewer/inifile.h"
#include "viewer/modelpose.h"
#include "viewer/offscreenrenderer.h"
#include "viewer/outfitstore.h"
#include "viewer/sharecode.h"
#include "viewerfixture.h"

namespace wbx {
namespace {

using testing::UserSelects;
using testing::ViewerTest;

// What the offscreen renderer draws of a figure at a view's size.
QImage Expected(const TPdtRec& model, const TPartSelection& selection, const TViewPose& pose, QSize size) {
    TOffscreenRenderer renderer(size.width(), size.height());
    renderer.SetModel(model);
    renderer.ComposeTextures(selection);
    return ToQImage(renderer
                        .Render(TFigurePose{pose.Yaw, pose.Pitch, pose.Zoom}, size.width(), size.height(),
                                TBackground::Grey)
                        .Image);
}

TPdtRec Model(const std::string& bodyType) { return *ReadModelFile(ModelFileName(bodyType)); }

// The same pixels (the view's picture carries its device pixel ratio).
void ExpectSamePixels(QImage shown, const QImage& expected) {
    shown.setDevicePixelRatio(1);
    ASSERT_EQ(shown.size(), expected.size());
    EXPECT_TRUE(shown == expected);
}

void Send(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Drag(QWidget* view, QPoint from, QPoint to) {
    Send(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
    Send(view, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    Send(view, QEvent::MouseMove, to, Qt::LeftButton);
    Send(view, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

void Wheel(QWidget* view, int delta) {
    const QPointF at(view->width() / 2.0, view->height() / 2.0);
    QWheelEvent event(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &event);
}

class CompareWindowTest : public ViewerTest {
protected:
    void Open() {
        window = std::make_unique<TMainWindow>(Services(), dir / "config/outfits.txt");
        ASSERT_EQ(window->Form().StartupOutcome(), TStartupOutcome::Running);
        compare = InstallCompareWindow(*window);
        window->show();
    }

    static TOutfit Dressed() { return testing::DressedOutfit(); }

    std::unique_ptr<TMainWindow> window;
    TCompareWindow* compare = nullptr;  // owned by window
};

TEST_F(CompareWindowTest, EachViewShowsItsOutfitAndTheLeftFollowsTheMainWindow) {
    Open();
    TForm1& form = window->Form();
    const TOutfit startup = CurrentOutfit(form);
    compare->show();
    // At first both wear the current outfit.
    EXPECT_EQ(compare->LeftCaption().toStdString(), kCurrentOutfitCaption);
    EXPECT_EQ(compare->RightOutfit(), startup);
    EXPECT_TRUE(compare->Differences().isEmpty());
    TCompareView& left = compare->LeftView();
    TCompareView& right = compare->RightView();
    ASSERT_GT(left.width(), 100);
    ExpectSamePixels(left.Picture(), Expected(form.Pdt, form.PartSelection(), kStartPose, left.PixelSize()));

    compare->ShowOutfit(Dressed(), QStringLiteral("Party"));
    EXPECT_EQ(compare->RightCaption(), QStringLiteral("Party"));
    EXPECT_EQ(compare->RightOutfit(), Dressed());
    EXPECT_EQ(CurrentOutfit(form), startup);  // the main window wears what it wore
    const QImage dressed = right.Picture();
    ExpectSamePixels(dressed, Expected(Model("type2"), Dressed().Items, kStartPose, right.PixelSize()));
    EXPECT_EQ(compare->RightList(plUpper).currentText(), QStringLiteral("02_12040"));
    EXPECT_EQ(compare->RightBodyTypes().currentText(), QStringLiteral("type2"));
    EXPECT_TRUE(compare->Differences().contains(QStringLiteral("body type")));
    EXPECT_TRUE(compare->Differences().contains(QStringLiteral("upper")));

    // A pick in the main window reaches the left view (and the differences).
    const int upper = form.cbUpper->findText(QStringLiteral("02_12040"));
    ASSERT_GT(upper, 0);
    UserSelects(form.cbUpper, upper);
    EXPECT_FALSE(compare->Differences().contains(QStringLiteral("upper")));
    ExpectSamePixels(left.Picture(), Expected(form.Pdt, form.PartSelection(), kStartPose, left.PixelSize()));
    UserSelects(form.cbModels, form.cbModels->findText(QStringLiteral("type2")));
    EXPECT_FALSE(compare->Differences().contains(QStringLiteral("body type")));
    ExpectSamePixels(left.Picture(),
                     Expected(Model("type2"), form.PartSelection(), kStartPose, left.PixelSize()));

    // The right side, dressed item by item in its own lists.
    QComboBox& shoes = compare->RightList(plShoes);
    shoes.setCurrentIndex(0);
    emit shoes.activated(0);
    EXPECT_EQ(compare->RightOutfit().Items[plShoes], "");
    EXPECT_EQ(compare->RightCaption(), QStringLiteral("Party (changed)"));
    TOutfit unshod = Dressed();
    unshod.Items[plShoes] = "";
    ExpectSamePixels(right.Picture(), Expected(Model("type2"), unshod.Items, kStartPose, right.PixelSize()));

    // Copied from the current outfit, the two are the same again.
    compare->CopyCurrent();
    EXPECT_TRUE(compare->Differences().isEmpty());
    EXPECT_EQ(left.Picture(), right.Picture());
}

TEST_F(CompareWindowTest, ADragOrTheWheelInOneViewPosesBothAndHomeReturnsThem) {
    Open();
    compare->show();
    TCompareView& left = compare->LeftView();
    TCompareView& right = compare->RightView();
    const QImage before = left.Picture();
    right.Picture();

    Drag(&right, QPoint(100, 100), QPoint(140, 90));
    const TViewPose turned{DraggedYaw(0, 40), DraggedPitch(0, -10), 1.0f};
    EXPECT_EQ(compare->Pose(), turned);
    EXPECT_EQ(left.Pose(), turned);
    EXPECT_EQ(right.Pose(), turned);
    EXPECT_EQ(FormPose(window->Form()), kStartPose);  // the main view's pose is its own
    EXPECT_NE(left.Picture(), before);
    ExpectSamePixels(left.Picture(),
                     Expected(window->Form().Pdt, window->Form().PartSelection(), turned, left.PixelSize()));

    // The wheel in the left view, in the main view's steps and limits.
    Wheel(&left, -120);
    float zoom = 0;
    ASSERT_TRUE(WheelZoom(1.0f, -120, zoom));
    EXPECT_EQ(right.Pose().Zoom, zoom);
    for (int i = 0; i < 250; ++i) Wheel(&left, -120);
    EXPECT_LE(right.Pose().Zoom, kZoomMax);
    EXPECT_GT(right.Pose().Zoom, kZoomMax - 0.012f);

    // A drag far up stops at the tilt limit, in both.
    Drag(&left, QPoint(50, 400), QPoint(50, -2000));
    EXPECT_EQ(right.Pose().Pitch, DraggedPitch(0, -2400));
    EXPECT_EQ(std::abs(right.Pose().Pitch), kPitchLimit);

    compare->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(compare));
    QTest::keyClick(compare->focusWidget() ? compare->focusWidget() : compare, Qt::Key_Home);
    EXPECT_EQ(left.Pose(), kStartPose);
    EXPECT_EQ(right.Pose(), kStartPose);
    ExpectSamePixels(left.Picture(), Expected(window->Form().Pdt, window->Form().PartSelection(), kStartPose,
                                              left.PixelSize()));
}

TEST_F(CompareWindowTest, AnIdleWindowDrawsNothingAndAHiddenOneCatchesUpWhenShown) {
    Open();
    TForm1& form = window->Form();
    compare->show();
    QApplication::processEvents();
    TCompareView& left = compare->LeftView();
    left.Picture();
    const uint64_t drawn = left.FramesDrawn();
    for (int i = 0; i < 5; ++i) {
        left.repaint();
        QTest::qWait(10);
    }
    EXPECT_EQ(left.FramesDrawn(), drawn);

    compare->hide();
    UserSelects(form.cbUpper, form.cbUpper->currentIndex() + 1);
    QApplication::processEvents();
    EXPECT_EQ(left.FramesDrawn(), drawn);
    compare->show();
    ExpectSamePixels(left.Picture(), Expected(form.Pdt, form.PartSelection(), kStartPose, left.PixelSize()));
    EXPECT_EQ(left.FramesDrawn(), drawn + 1);
}

TEST_F(CompareWindowTest, SavedOutfitsAndShareCodesAndWhatCannotBeWorn) {
    {
        Open();
        window->Outfits().Store().Save("Party", Dressed());
        window.reset();
    }
    for (const auto& entry : std::filesystem::directory_iterator(data + "item/avatar"))
        if (entry.path().filename().string().rfind("02_12040", 0) == 0) std::filesystem::remove(entry.path());
    Open();
    TForm1& form = window->Form();
    compare->show();
    QComboBox& saved = compare->SavedOutfits();
    ASSERT_EQ(saved.count(), 2);
    EXPECT_EQ(saved.itemText(1), QStringLiteral("Party"));
    emit saved.activated(1);
    EXPECT_EQ(compare->RightCaption(), QStringLiteral("Party"));
    // The missing item falls back to the slot's start-up choice, as the main window does.
    const int startup = StartupIndex(*form.cbUpper, plUpper);
    EXPECT_EQ(compare->RightOutfit().Items[plUpper],
              startup > 0 ? form.cbUpper->itemText(startup).toStdString() : "");
    EXPECT_EQ(compare->RightOutfit().Items[plShoes], "04_14020");
    const std::string status = compare->StatusText().toStdString();
    EXPECT_NE(status.find("upper item \"02_12040\""), std::string::npos) << status;
    EXPECT_TRUE(reports.empty());

    // A bad share code changes nothing and names its fault; a good one is worn.
    const TOutfit before = compare->RightOutfit();
    EXPECT_FALSE(compare->ShowShareCode(QStringLiteral("wbx1:type1,,,05_12345,,,,,,,")));
    EXPECT_EQ(compare->RightOutfit(), before);
    EXPECT_NE(compare->StatusText().toStdString().find("upper item"), std::string::npos);
    TOutfit code = Dressed();
    code.Items[plUpper] = "";
    EXPECT_TRUE(compare->ShowShareCode(QString::fromStdString(EncodeShareCode(code))));
    EXPECT_EQ(compare->RightOutfit(), code);
    EXPECT_TRUE(compare->StatusText().isEmpty());
    EXPECT_FALSE(compare->ShowSavedOutfit("Nobody"));
    EXPECT_NE(compare->StatusText().toStdString().find("Nobody"), std::string::npos);
}

TEST_F(CompareWindowTest, ItsPlaceAndSizeComeBack) {
    Open();
    compare->show();
    compare->resize(900, 520);
    QApplication::processEvents();
    const QSize size = compare->size();
    compare->hide();
    window.reset();
    EXPECT_FALSE(TIniFile(dir / "wardrobix.ini").ReadString("window", "compare", "").empty());

    Open();
    compare->show();
    EXPECT_EQ(compare->size(), size);
    EXPECT_EQ(window->Form().size(), QSize(640, 480));  // the main view keeps its size
}

// The window the keyboard goes to, waited for (a window counts as active
// while one of its own windows is).
bool IsActive(QWidget* window) {
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

// A key pressed where the keyboard is in window, once window has it.
void Press(QWidget* window, QKeyCombination key) {
    window->activateWindow();
    ASSERT_TRUE(IsActive(window));
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, key.key(),
                    key.keyboardModifiers());
}

TEST_F(CompareWindowTest, EscapeClosesItCtrlQQuitsAndCtrlKTurnsBackToTheMainWindow) {
    const std::filesystem::path ini = dir / "wardrobix.ini";
    Open();
    compare->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
    Press(compare, Qt::Key_Escape);
    EXPECT_FALSE(compare->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(TIniFile(ini).ReadString("window", "compare", "").empty());  // its place kept

    // Ctrl+K in the compare window puts the main window in front; there it
    // brings the compare window forward again.
    compare->show();
    Press(compare, Qt::CTRL | Qt::Key_K);
    EXPECT_TRUE(IsActive(window.get()));
    EXPECT_TRUE(compare->isVisible());
    Press(window.get(), Qt::CTRL | Qt::Key_K);
    EXPECT_TRUE(IsActive(compare));

    // Ctrl+Q closes the main window (which ends the program), as its own Quit
    // does: the compare window's place, moved since, is written on the way.
    compare->resize(compare->width() - 40, compare->height() - 30);
    QApplication::processEvents();
    const QByteArray moved = compare->saveGeometry().toBase64();
    Press(compare, Qt::CTRL | Qt::Key_Q);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(TIniFile(ini).ReadString("window", "compare", ""), moved.toStdString());
}

TEST_F(CompareWindowTest, HelpListsItsKeysUnderItsOwnHeadingAndTheViewsKeysAreTheMainViews) {
    Open();
    const QList<TKeyHelpRow> rows = window->KeyboardHelp();
    const auto text = [](const QKeySequence& keys) { return keys.toString(QKeySequence::NativeText); };
    // The main window's own keys come first, as before.
    EXPECT_TRUE(rows.contains(TKeyHelpRow{text(QKeySequence(Qt::CTRL | Qt::Key_K)), "Compare…"}));
    const qsizetype heading = rows.indexOf(TKeyHelpRow{QString(), QStringLiteral("Compare window")});
    ASSERT_GE(heading, 0);
    const QList<TKeyHelpRow> own = rows.mid(heading + 1);
    const auto listed = [&](const QKeySequence& keys, const QString& does) {
        for (const TKeyHelpRow& row : own)
            if (row.Keys == text(keys) && row.Does.startsWith(does)) return true;
        return false;
    };
    EXPECT_TRUE(listed(Qt::Key_Escape, "Close the compare window"));
    EXPECT_TRUE(listed(Qt::CTRL | Qt::Key_Q, "Quit"));
    EXPECT_TRUE(listed(Qt::CTRL | Qt::Key_K, "The main window in front"));
    EXPECT_TRUE(listed(Qt::Key_Home, "Start pose"));
    EXPECT_TRUE(listed(Qt::Key_Left, "Turn left, on a focused view"));
    EXPECT_TRUE(listed(Qt::Key_Minus, "Smaller, on a focused view"));

    // Every key the window and its views answer to is listed, and a view's
    // pose keys are bound as the main view's item of the same name.
    QList<QAction*> mainPose;
    for (QAction* action : window->Menu(TShellMenu::View)->actions())
        if (action->menu() != nullptr && action->text() == QStringLiteral("&Pose"))
            mainPose = action->menu()->actions();
    ASSERT_EQ(mainPose.size(), 7);
    for (TCompareView* view : {&compare->LeftView(), &compare->RightView()})
        for (const QAction* action : view->actions()) {
            EXPECT_TRUE(listed(action->shortcut(), action->text().remove(QLatin1Char('&'))))
                << action->text().toStdString();
            const auto same = std::find_if(mainPose.begin(), mainPose.end(), [&](const QAction* main) {
                return main->text() == action->text();
            });
            ASSERT_NE(same, mainPose.end()) << action->text().toStdString();
            EXPECT_EQ((*same)->shortcuts(), action->shortcuts()) << action->text().toStdString();
        }
    for (const QAction* action : compare->actions())
        EXPECT_TRUE(listed(action->shortcut(), action->text().remove(QLatin1Char('&'))))
            << action->text().toStdString();
    EXPECT_EQ(own.size(), compare->actions().size() + compare->LeftView().actions().size());
}

TEST_F(CompareWindowTest, EveryToolBarActionFitsAtTheDefaultSize) {
    window = std::make_unique<TMainWindow>(Services(), dir / "config/outfits.txt");
    ASSERT_EQ(window->Form().StartupOutcome(), TStartupOutcome::Running);
    new TExportActions(*window);  // the tool bar as the program fills it, owned by the window
    InstallCompareWindow(*window);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QApplication::processEvents();
    EXPECT_EQ(window->Form().size(), QSize(640, 480));

    QToolBar& bar = *window->ToolBar();
    ASSERT_GE(bar.actions().size(), 7);
    for (QAction* action : bar.actions()) {
        if (action->isSeparator()) continue;
        const QWidget* button = bar.widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible()) << action->text().toStdString() << " is in the overflow";
        // The full name (and the key) tells what a short label leaves out.
        QString name = action->text().remove(QLatin1Char('&'));
        name.remove(QRegularExpression(QStringLiteral("(\\.\\.\\.|…)$")));
        EXPECT_TRUE(action->toolTip().startsWith(name)) << action->toolTip().toStdString();
        EXPECT_TRUE(action->toolTip().contains(action->shortcut().toString(QKeySequence::NativeText)))
            << action->toolTip().toStdString();
    }
    for (const QToolButton* button : bar.findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        EXPECT_FALSE(button->isVisible());
}

}  // namespace
}  // namespace wbx
