// The main window's shell around the form, driven offscreen: the form keeps
// its 640 x 480 client area and its first frame, the menus carry labelled
// items with shortcuts, panels make the window grow instead of the view, the
// pose keys act on the view only, and the window's own settings come back.
#include "app/mainwindow.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QWheelEvent>

#include "device/korvane.h"
#include "viewer/inifile.h"
#include "viewer/modelpose.h"
#include "viewerfixture.h"

namespace wbx {
namespace {

using testing::EnsureQtApplication;
using testing::ViewerTest;

class MainWindowTest : public ViewerTest {
protected:
    std::unique_ptr<TMainWindow> CreateWindow() {
        return std::make_unique<TMainWindow>(Services(), dir / "outfits.txt");
    }

    static QStringList ActionTexts(const QMenu* menu) {
        QStringList texts;
        for (const QAction* action : menu->actions())
            if (!action->isSeparator()) texts << action->text();
        return texts;
    }
};

TEST_F(MainWindowTest, TheFormKeepsItsClientAreaAndTheWindowGrowsByWhatLiesAroundIt) {
    auto window = CreateWindow();
    TForm1& form = window->Form();
    ASSERT_EQ(form.StartupOutcome(), TStartupOutcome::Running);
    ASSERT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(form.parentWidget(), window.get());
    EXPECT_EQ(form.size(), QSize(640, 480));
    EXPECT_EQ(form.ClientWidth(), 640);
    EXPECT_EQ(form.ClientHeight(), 480);
    EXPECT_EQ(form.KV->Width, 640);
    EXPECT_EQ(form.KV->Height, 480);
    // Above the form the menu bar and the tool bar, below it the status bar; nothing at the sides.
    const int above = window->menuBar()->height() + window->ToolBar()->height();
    EXPECT_GT(window->menuBar()->height(), 0);
    EXPECT_EQ(form.geometry().topLeft(), QPoint(0, above));
    EXPECT_EQ(window->size(), QSize(640, above + 480 + window->statusBar()->height()));
    // The window is captioned and placed as the form would be.
    EXPECT_EQ(window->windowTitle(), QStringLiteral("wardrobix"));
    EXPECT_EQ(window->pos(), QPoint(kDefaultLeft, kDefaultTop));
    EXPECT_FALSE(form.isWindow());
}

TEST_F(MainWindowTest, FirstFrameAndTheFormsPictureAreThoseOfTheFormAlone) {
    QImage alonePresented, aloneGrabbed;
    {
        auto form = Create();
        ASSERT_TRUE(Frame(*form));
        alonePresented = form->PresentedImage().copy();
        aloneGrabbed = form->grab().toImage();
    }
    auto window = CreateWindow();
    ASSERT_TRUE(Frame(window->Form()));
    EXPECT_EQ(window->Form().PresentedImage(), alonePresented);
    // The lists over the frame too, pixel for pixel.
    EXPECT_EQ(window->Form().grab().toImage(), aloneGrabbed);
}

TEST_F(MainWindowTest, MenusHaveLabelledItemsWithShortcutsAndTheViewHasAContextMenu) {
    auto window = CreateWindow();
    QStringList titles;
    for (const QAction* action : window->menuBar()->actions()) titles << action->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Outfit", "&View", "&Help"}));

    const auto find = [&](TShellMenu menu, const QString& text) -> QAction* {
        const std::function<QAction*(QMenu*)> search = [&](QMenu* in) -> QAction* {
            for (QAction* action : in->actions()) {
                if (action->text() == text) return action;
                if (action->menu() != nullptr)
                    if (QAction* found = search(action->menu())) return found;
            }
            return nullptr;
        };
        return search(window->Menu(menu));
    };
    struct TExpected {
        TShellMenu Menu;
        const char* Text;
        QKeySequence Shortcut;
    };
    for (const TExpected& expected : {
             TExpected{TShellMenu::File, "&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
             TExpected{TShellMenu::View, "Turn &left", QKeySequence(Qt::Key_Left)},
             TExpected{TShellMenu::View, "&Larger", QKeySequence(Qt::Key_Plus)},
             TExpected{TShellMenu::View, "&Start pose", QKeySequence(Qt::Key_Home)},
             TExpected{TShellMenu::View, "&Default size", QKeySequence(Qt::CTRL | Qt::Key_0)},
             TExpected{TShellMenu::Help, "&Keyboard and mouse", QKeySequence(Qt::Key_F1)},
         }) {
        const QAction* action = find(expected.Menu, QString::fromUtf8(expected.Text));
        ASSERT_NE(action, nullptr) << expected.Text;
        EXPECT_EQ(action->shortcut(), expected.Shortcut) << expected.Text;
    }
    // Every item that does something says so in words.
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>())
        for (const QAction* action : menu->actions())
            if (!action->isSeparator()) {
                EXPECT_FALSE(action->text().isEmpty());
            }

    // The view's menu: the right button opens it with the menus' own items.
    EXPECT_EQ(window->Form().contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_TRUE(window->ViewContextMenu()->actions().contains(find(TShellMenu::View, "&Start pose")));
    emit window->Form().customContextMenuRequested(QPoint(320, 240));
    EXPECT_TRUE(window->ViewContextMenu()->isVisible());
    window->ViewContextMenu()->hide();

    // An item added later shows its shortcut, and its handler's exception is reported.
    QAction* added =
        window->AddMenuAction(TShellMenu::Outfit, QStringLiteral("&Throw"), QKeySequence(Qt::Key_F9),
                              [] { throw std::runtime_error("handler failed"); });
    EXPECT_TRUE(ActionTexts(window->Menu(TShellMenu::Outfit)).contains(QStringLiteral("&Throw")));
    added->trigger();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("handler failed"), std::string::npos);
}

TEST_F(MainWindowTest, PoseKeysActOnTheViewAndListsKeepTheirArrows) {
    auto window = CreateWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TForm1& form = window->Form();
    form.setFocus();
    ASSERT_TRUE(form.hasFocus());

    QTest::keyClick(&form, Qt::Key_Right);
    EXPECT_EQ(form.Yaw, DraggedYaw(0, 10));
    QTest::keyClick(&form, Qt::Key_Left);
    QTest::keyClick(&form, Qt::Key_Left);
    EXPECT_EQ(form.Yaw, DraggedYaw(0, -10));
    QTest::keyClick(&form, Qt::Key_Down);
    EXPECT_EQ(form.Pitch, DraggedPitch(0, 10));
    QTest::keyClick(&form, Qt::Key_Plus);
    EXPECT_FLOAT_EQ(form.Zoom, 1.05f);
    QTest::keyClick(&form, Qt::Key_Home);
    EXPECT_EQ(form.Yaw, 0);
    EXPECT_EQ(form.Pitch, 0);
    EXPECT_FLOAT_EQ(form.Zoom, 1.0f);

    // A list with the keyboard moves its own selection; the figure stays.
    form.cbWear->setFocus();
    const int before = form.cbWear->currentIndex();
    QTest::keyClick(form.cbWear, Qt::Key_Down);
    EXPECT_EQ(form.Yaw, 0);
    EXPECT_EQ(form.Pitch, 0);
    EXPECT_NE(form.cbWear->currentIndex(), before);
}

TEST_F(MainWindowTest, TheWheelScalesTheFigureOverTheViewOnly) {
    auto window = CreateWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TForm1& form = window->Form();
    const auto wheel = [](QWidget* to, QPoint at) {
        QWheelEvent event(QPointF(at), to->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(to, &event);
    };
    // Over the tool bar and the status bar (the window's own events), nothing.
    wheel(window.get(), window->findChild<QToolBar*>()->geometry().center());
    wheel(window.get(), window->statusBar()->geometry().center());
    EXPECT_FLOAT_EQ(form.Zoom, 1.0f);
    // Over the view, one step.
    wheel(&form, QPoint(320, 240));
    EXPECT_NE(form.Zoom, 1.0f);
}

TEST_F(MainWindowTest, APanelMakesTheWindowGrowAndTheViewKeepsItsSize) {
    auto window = CreateWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QSize plain = window->size();

    auto* dock = new QDockWidget(QStringLiteral("Panel"));
    dock->setObjectName(QStringLiteral("TestPanel"));
    auto* content = new QLabel(QStringLiteral("panel"));
    content->setMinimumSize(200, 100);
    dock->setWidget(content);
    QAction* toggle = window->AddDock(dock, Qt::RightDockWidgetArea, QKeySequence(Qt::Key_F7));
    EXPECT_FALSE(dock->isVisible());  // a panel never seen before starts hidden
    EXPECT_EQ(toggle->shortcut(), QKeySequence(Qt::Key_F7));

    toggle->trigger();
    QTest::qWait(50);
    EXPECT_TRUE(dock->isVisible());
    EXPECT_EQ(window->Form().size(), QSize(640, 480));
    EXPECT_GE(window->width(), plain.width() + 200);

    toggle->trigger();
    QTest::qWait(50);
    EXPECT_EQ(window->Form().size(), QSize(640, 480));
    EXPECT_EQ(window->size(), plain);
}

TEST_F(MainWindowTest, WindowSettingsAreASectionOfTheirOwnAndTheFormsKeysStay) {
    {
        auto window = CreateWindow();
        window->move(300, 200);
        auto* dock = new QDockWidget(QStringLiteral("Panel"));
        dock->setObjectName(QStringLiteral("TestPanel"));
        dock->setWidget(new QLabel(QStringLiteral("panel")));
        window->AddDock(dock, Qt::LeftDockWidgetArea, {});
        window->show();
        dock->show();
        QTest::qWait(20);
    }
    {
        const TIniFile ini(dir / "wardrobix.ini");
        EXPECT_EQ(ini.ReadInteger("app", "left", -1), 300);
        EXPECT_EQ(ini.ReadInteger("app", "top", -1), 200);
        EXPECT_EQ(ini.ReadInteger("window", "width", -1), 640);
        EXPECT_EQ(ini.ReadInteger("window", "height", -1), 480);
        EXPECT_EQ(ini.ReadInteger("window", "maximized", -1), 0);
        EXPECT_FALSE(ini.ReadString("window", "docks", "").empty());
    }
    {
        // The panel comes back where it was, shown.
        auto window = CreateWindow();
        EXPECT_EQ(window->pos(), QPoint(300, 200));
        auto* dock = new QDockWidget(QStringLiteral("Panel"));
        dock->setObjectName(QStringLiteral("TestPanel"));
        window->AddDock(dock, Qt::RightDockWidgetArea, {});
        window->show();
        QTest::qWait(20);
        EXPECT_TRUE(dock->isVisible());
        EXPECT_EQ(window->dockWidgetArea(dock), Qt::LeftDockWidgetArea);
        EXPECT_EQ(window->Form().size(), QSize(640, 480));
    }
    {
        // Sizes the view cannot have and a damaged dock state leave the default.
        TIniFile ini(dir / "wardrobix.ini");
        ini.WriteInteger("window", "width", -5);
        ini.WriteInteger("window", "height", 1 << 30);
        ini.WriteString("window", "docks", "not base64 at all ***");
    }
    auto window = CreateWindow();
    EXPECT_EQ(window->Form().size(), QSize(640, 480));
    EXPECT_TRUE(reports.empty());
}

// The bounding box of the pixels that are not the background.
QRect FigureBox(const QImage& frame) {
    QRect box;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (frame.pixel(x, y) != testing::kGrey) box |= QRect(x, y, 1, 1);
    return box;
}

TEST_F(MainWindowTest, AnEnlargedViewRendersAtItsSizeAndTheDefaultSizeIsAsBefore) {
    auto window = CreateWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    TForm1& form = window->Form();
    ASSERT_TRUE(Frame(form));
    const QImage original = form.PresentedImage().copy();
    const QRect originalBox = FigureBox(original);
    const QPoint listAt = form.cbShoes->pos();

    window->resize(window->size() + QSize(640, 480));
    QTest::qWait(20);
    ASSERT_EQ(form.size(), QSize(1280, 960));
    EXPECT_EQ(form.KV->Width, 1280);
    EXPECT_EQ(form.KV->Height, 960);
    ASSERT_TRUE(Frame(form));
    const QImage large = form.PresentedImage().copy();
    ASSERT_EQ(large.size(), QSize(1280, 960));
    // The figure keeps its proportions and grows with the view; the lists stay.
    const QRect largeBox = FigureBox(large);
    EXPECT_NEAR(largeBox.width(), originalBox.width() * 2, 4);
    EXPECT_NEAR(largeBox.height(), originalBox.height() * 2, 4);
    EXPECT_NEAR(largeBox.center().x(), 640, 4);
    EXPECT_EQ(form.cbShoes->pos(), listAt);
    EXPECT_TRUE(reports.empty()) << reports[0];
    // The window's size is kept for the next start.
    window->resize(window->size() - QSize(320, 0));
    QTest::qWait(20);
    const QSize kept = form.size();

    // Back at the default size, the frame is the first one, pixel for pixel.
    window->RestoreDefaultSize();
    QTest::qWait(20);
    ASSERT_EQ(form.size(), QSize(640, 480));
    EXPECT_EQ(form.KV->Width, 640);
    ASSERT_TRUE(Frame(form));
    EXPECT_EQ(form.PresentedImage(), original);
    // Never below the described size.
    window->resize(200, 200);
    QTest::qWait(20);
    EXPECT_GE(form.width(), 640);
    EXPECT_GE(form.height(), 480);

    window->resize(window->size() + kept - form.size());
    QTest::qWait(20);
    ASSERT_EQ(form.size(), kept);
    window.reset();
    auto again = CreateWindow();
    again->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(again.get()));
    EXPECT_EQ(again->Form().size(), kept);
    EXPECT_EQ(again->Form().KV->Width, kept.width());
}

TEST_F(MainWindowTest, StatusMessagesAndTheFormAloneStaysAWindowOfItsOwn) {
    auto window = CreateWindow();
    window->ShowStatus(QStringLiteral("Something to know"));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Something to know"));

    auto form = Create();
    EXPECT_TRUE(form->isWindow());
    EXPECT_EQ(form->size(), QSize(640, 480));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
}

}  // namespace
}  // namespace wbx
