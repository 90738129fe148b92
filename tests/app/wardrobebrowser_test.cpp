// The wardrobe browser over the main window's part lists: the grids mirror
// the lists, picks go the way of the lists' own, the search filters all lists
// and counts, and thumbnails arrive from the workers and the disk cache,
// never stale.
#include "app/wardrobebrowser.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTest>

#include "app/mainwindow.h"
#include "app/thumbnailloader.h"
#include "app/wardrobemodel.h"
#include "viewer/datafolder.h"
#include "viewerfixture.h"

namespace wbx {
namespace {

using testing::TempFolder;
using testing::TextureTexels;
using testing::UserSelects;

class WardrobeBrowserTest : public testing::ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        form = Create();
        ASSERT_EQ(form->StartupOutcome(), TStartupOutcome::Running);
    }

    std::unique_ptr<TWardrobeBrowser> MakeBrowser() {
        std::array<TComboBox*, kPartListCount> lists{};
        for (int i = 0; i < kPartListCount; ++i)
            lists[static_cast<size_t>(i)] = form->PartCombo(TPartList(i));
        return std::make_unique<TWardrobeBrowser>(lists, AvatarPath, cache.Path());
    }

    // Every item of list with its thumbnail, made by the workers.
    static void LoadAll(TWardrobeBrowser& browser, TPartList list) {
        browser.show();
        browser.ShowList(list);
        ASSERT_TRUE(browser.Loader().WaitUntilIdle(20000));
        for (int item = 1; item < browser.Model(list).ItemCount(); ++item)
            ASSERT_TRUE(browser.Model(list).HasThumbnail(item)) << item;
    }

    static QImage Picture(TWardrobeBrowser& browser, TPartList list, int item) {
        return browser.Model(list)
            .data(browser.Model(list).index(browser.Model(list).RowOf(item)), Qt::DecorationRole)
            .value<QImage>();
    }

    std::unique_ptr<TForm1> form;
    TempFolder cache;
};

TEST_F(WardrobeBrowserTest, GridsMirrorTheListsAndFollowTheirSelection) {
    auto browser = MakeBrowser();
    for (int i = 0; i < kPartListCount; ++i) {
        TComboBox* combo = form->PartCombo(TPartList(i));
        TWardrobeModel& model = browser->Model(TPartList(i));
        ASSERT_EQ(model.rowCount(), combo->count()) << i;
        EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), QString::fromUtf8(kNoPartItem));
        EXPECT_EQ(model.ItemText(combo->count() - 1), combo->itemText(combo->count() - 1).toStdString());
        EXPECT_EQ(model.Current(), combo->currentIndex()) << i;
    }
    // The worn item stands out; the others do not.
    TWardrobeModel& hair = browser->Model(plHair);
    EXPECT_TRUE(hair.data(hair.index(hair.Current()), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(hair.data(hair.index(hair.Current() + 1), Qt::BackgroundRole).isValid());
    // A pick in the drop-down list moves the highlight.
    UserSelects(form->cbHair, 2);
    EXPECT_EQ(hair.Current(), 2);
    EXPECT_TRUE(hair.data(hair.index(2), Qt::BackgroundRole).isValid());
}

TEST_F(WardrobeBrowserTest, ClicksEnterAndDoubleClicksDressTheFigureAsTheListDoes) {
    auto browser = MakeBrowser();
    browser->resize(500, 600);
    browser->show();
    browser->ShowList(plUpper);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(browser.get()));
    int selects = 0;
    TComboBox* upper = form->cbUpper;
    auto handler = upper->OnSelect;
    upper->OnSelect = [&](TComboBox* sender) {
        ++selects;
        handler(sender);
    };
    const std::vector<uint8_t> before = TextureTexels(*form->FrontTexture);

    QListView& grid = browser->Grid(plUpper);
    const QRect third = grid.visualRect(browser->Model(plUpper).index(3));
    ASSERT_FALSE(third.isEmpty());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(upper->currentIndex(), 3);
    EXPECT_EQ(selects, 1);
    EXPECT_NE(TextureTexels(*form->FrontTexture), before);  // composed again with the new item
    EXPECT_EQ(browser->Model(plUpper).Current(), 3);

    // A click on what is worn changes nothing.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(selects, 1);

    // Keyboard: arrows move, Enter dresses.
    grid.setFocus();
    grid.setCurrentIndex(browser->Model(plUpper).index(3));
    QTest::keyClick(&grid, Qt::Key_Left);
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_EQ(upper->currentIndex(), 2);
    EXPECT_EQ(selects, 2);

    // A double click as the window system delivers it: press, release, the
    // second press as a double click, release. It dresses once.
    const QPoint none = grid.visualRect(browser->Model(plUpper).index(0)).center();
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, none);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, none);
    QMouseEvent second(QEvent::MouseButtonDblClick, none, grid.viewport()->mapToGlobal(none), Qt::LeftButton,
                       Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &second);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, none);
    EXPECT_EQ(upper->Text(), kNoPartItem);
    EXPECT_EQ(selects, 3);
    EXPECT_TRUE(reports.empty());
}

TEST_F(WardrobeBrowserTest, SearchFiltersEveryListAndCounts) {
    auto browser = MakeBrowser();
    // The sample folder's items are "<list>_1<list>0<n>0"; "10010" is each list's first item.
    EXPECT_EQ(browser->Search(QStringLiteral("10010")), 1u);
    EXPECT_EQ(browser->Model(plHair).rowCount(), 1);
    EXPECT_EQ(browser->Model(plHair).ItemText(browser->Model(plHair).ItemAt(0)), "00_10010");
    EXPECT_EQ(browser->Model(plBody).rowCount(), 0);
    EXPECT_EQ(browser->CountLabel().text(), QStringLiteral("1 match"));
    EXPECT_EQ(browser->ShownList(), plHair);

    // Typed in the field, in another case: the same as a call.
    const size_t upper = browser->Search(QString());
    EXPECT_GT(upper, 20u);
    EXPECT_EQ(browser->CountLabel().text(), QStringLiteral("%1 items").arg(upper));
    QTest::keyClicks(&browser->SearchField(), QStringLiteral("02_"));
    EXPECT_EQ(browser->Model(plUpper).rowCount(), form->cbUpper->count() - 1);  // all but "なし"
    EXPECT_EQ(browser->Model(plHair).rowCount(), 0);
    EXPECT_EQ(browser->ShownList(), plUpper);  // the tab with matches comes forward
    QTest::keyClicks(&browser->SearchField(), QStringLiteral("zZ"));
    EXPECT_EQ(browser->Model(plUpper).rowCount(), 0);
    EXPECT_EQ(browser->CountLabel().text(), QStringLiteral("0 matches"));
    // Escape clears it.
    QTest::keyClick(&browser->SearchField(), Qt::Key_Escape);
    EXPECT_TRUE(browser->SearchField().text().isEmpty());
    EXPECT_EQ(browser->Model(plUpper).rowCount(), form->cbUpper->count());

    // A pick among the matches dresses the right item.
    browser->SearchField().clear();
    browser->Search(QStringLiteral("03_1"));
    const int item = browser->Model(plBottom).ItemAt(1);
    browser->Pick(plBottom, item);
    EXPECT_EQ(form->cbBottom->currentIndex(), item);
}

TEST_F(WardrobeBrowserTest, TheMainWindowDocksItWithF2AndFindsWithCtrlF) {
    form.reset();
    TMainWindow window(Services());
    ASSERT_EQ(window.Form().StartupOutcome(), TStartupOutcome::Running);
    TWardrobeBrowser* browser = InstallWardrobeBrowser(window, cache.Path());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Hidden at first: the window is as it was, the panel's contents are not
    // built and no thumbnail worker runs.
    EXPECT_FALSE(browser->isVisible());
    EXPECT_EQ(window.Form().size(), QSize(kClientWidth, kClientHeight));
    EXPECT_EQ(window.dockWidgetArea(browser), Qt::RightDockWidgetArea);
    QTest::qWait(50);
    EXPECT_FALSE(browser->Built());
    EXPECT_FALSE(browser->Loader().Started());

    QAction* toggle = nullptr;
    QAction* find = nullptr;
    for (QAction* action : window.Menu(TShellMenu::View)->actions()) {
        if (action->shortcut() == QKeySequence(Qt::Key_F2)) toggle = action;
        if (action->shortcut() == QKeySequence(QKeySequence::Find)) find = action;
    }
    ASSERT_NE(toggle, nullptr);
    ASSERT_NE(find, nullptr);
    toggle->trigger();
    EXPECT_TRUE(browser->isVisible());
    EXPECT_EQ(window.Form().size(), QSize(kClientWidth, kClientHeight));  // the window grew instead
    // Built when shown, over the lists as they are now; the shown grid asks
    // for its thumbnails: the workers start then.
    EXPECT_TRUE(browser->Built());
    EXPECT_EQ(browser->Model(plShoes).Current(), window.Form().cbShoes->currentIndex());
    EXPECT_TRUE(QTest::qWaitFor([&] { return browser->Loader().Started(); }, 5000));
    ASSERT_TRUE(browser->Loader().WaitUntilIdle(20000));
    toggle->trigger();
    EXPECT_FALSE(browser->isVisible());
    find->trigger();
    EXPECT_TRUE(browser->isVisible());
    // Picks from the docked panel dress the window's own form.
    browser->Pick(plShoes, 2);
    EXPECT_EQ(window.Form().cbShoes->currentIndex(), 2);
    EXPECT_TRUE(reports.empty());
}

TEST_F(WardrobeBrowserTest, ThumbnailsComeFromWorkersThenFromTheCacheAndNeverStale) {
    {
        auto browser = MakeBrowser();
        LoadAll(*browser, plUpper);
        EXPECT_GT(browser->Loader().Made(), 0);
        EXPECT_EQ(browser->Loader().FromCache(), 0);
        EXPECT_FALSE(browser->Progress().isVisible());
        const QImage first = Picture(*browser, plUpper, 1);
        ASSERT_FALSE(first.isNull());
        ASSERT_EQ(first.size(), QSize(kThumbnailSize, kThumbnailSize));
        // The item cropped and centred: its drawn pixels span the square one
        // way, with equal margins the other way.
        int left = kThumbnailSize, right = -1, top = kThumbnailSize, bottom = -1;
        for (int y = 0; y < kThumbnailSize; ++y) {
            for (int x = 0; x < kThumbnailSize; ++x) {
                if (qAlpha(first.pixel(x, y)) == 0) continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        ASSERT_GE(right, 0);
        const bool spansWidth = left == 0 && right == kThumbnailSize - 1;
        const bool spansHeight = top == 0 && bottom == kThumbnailSize - 1;
        EXPECT_TRUE(spansWidth || spansHeight);
        EXPECT_LE(std::abs(left - (kThumbnailSize - 1 - right)), 1);
        EXPECT_LE(std::abs(top - (kThumbnailSize - 1 - bottom)), 1);

        // The back switch shows other pictures.
        browser->SetSide(TThumbnailSide::Back);
        ASSERT_TRUE(browser->Loader().WaitUntilIdle(20000));
        const QImage back = Picture(*browser, plUpper, 1);
        EXPECT_NE(back, first);
        browser->SetSide(TThumbnailSide::Front);
        ASSERT_TRUE(browser->Loader().WaitUntilIdle(20000));
        EXPECT_EQ(Picture(*browser, plUpper, 1), first);
    }
    // The next session takes them from the disk.
    auto again = MakeBrowser();
    LoadAll(*again, plUpper);
    EXPECT_EQ(again->Loader().Made(), 0);
    EXPECT_GT(again->Loader().FromCache(), 0);
    const QImage cached = Picture(*again, plUpper, 1);

    // The layer file changes (another item's picture copied over it): a new
    // session shows the new picture, not the cached one.
    const std::string item = again->Model(plUpper).ItemText(1), other = again->Model(plUpper).ItemText(2);
    std::filesystem::copy_file(AvatarPath + other + "_01.pav", AvatarPath + item + "_01.pav",
                               std::filesystem::copy_options::overwrite_existing);
    SessionPathResolver().Clear();
    auto later = MakeBrowser();
    LoadAll(*later, plUpper);
    EXPECT_NE(Picture(*later, plUpper, 1), cached);
    EXPECT_EQ(Picture(*later, plUpper, 1), Picture(*later, plUpper, 2));
}

TEST_F(WardrobeBrowserTest, ACacheOverItsSizeIsPrunedWhenThumbnailsAreFirstMade) {
    namespace fs = std::filesystem;
    // Two entries of 200 MiB each (sparse: they take no room), the one used
    // longer ago goes; what is not an entry stays, however large.
    const auto entry = [this](const std::string& name, int hoursAgo) {
        const std::string fileName = cache / name;
        testing::WriteText(fileName, "");
        fs::resize_file(fileName, uint64_t{200} << 20);
        fs::last_write_time(fileName, fs::file_time_type::clock::now() - std::chrono::hours(hoursAgo));
        return fileName;
    };
    const std::string older = entry("00000000000000AA.thumb", 48);
    const std::string newer = entry("00000000000000BB.thumb", 2);
    const std::string other = entry("notes.thumb", 100);
    auto browser = MakeBrowser();
    EXPECT_TRUE(fs::exists(older));  // nothing runs before the browser is first shown
    LoadAll(*browser, plShoes);
    browser.reset();  // its end waits for the pruning
    EXPECT_FALSE(fs::exists(older));
    EXPECT_TRUE(fs::exists(newer));
    EXPECT_TRUE(fs::exists(other));
}

TEST_F(WardrobeBrowserTest, ADamagedLayerFileShowsItsErrorAndTheRestCarryOn) {
    const std::string item = form->cbShoes->itemText(1).toStdString();
    testing::WriteBytes(AvatarPath + item + "_01.pav", testing::Bytes{1, 2, 3});
    auto browser = MakeBrowser();
    LoadAll(*browser, plShoes);
    TWardrobeModel& shoes = browser->Model(plShoes);
    EXPECT_TRUE(Picture(*browser, plShoes, 1).isNull() ||
                qAlpha(Picture(*browser, plShoes, 1).pixel(0, 0)) == 0);
    EXPECT_NE(shoes.data(shoes.index(1), Qt::ToolTipRole).toString().indexOf(QString::fromStdString(item)),
              -1);
    EXPECT_FALSE(Picture(*browser, plShoes, 2).isNull());
    EXPECT_EQ(shoes.data(shoes.index(2), Qt::ToolTipRole).toString(),
              QString::fromStdString(shoes.ItemText(2)));
}

TEST(WardrobeModel, TenThousandItemsFilterAndHighlightByRow) {
    testing::EnsureQtApplication();
    TWardrobeModel model;
    std::vector<std::string> items{kNoPartItem};
    for (int i = 1; i < 10000; ++i) items.push_back("02_2" + std::to_string(10000 + i).substr(1));
    model.SetItems(items);
    std::vector<int> asked;
    model.NeedThumbnail = [&](int item) { asked.push_back(item); };
    QListView view;
    view.setViewMode(QListView::IconMode);
    view.setUniformItemSizes(true);
    view.setGridSize(QSize(100, 90));
    view.resize(420, 300);
    view.setModel(&model);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QApplication::processEvents();
    // Only the rows in view ask for their thumbnails.
    EXPECT_FALSE(asked.empty());
    EXPECT_LT(asked.size(), 100u);
    const size_t firstAsks = asked.size();
    view.scrollToBottom();
    QApplication::processEvents();
    EXPECT_GT(asked.size(), firstAsks);
    EXPECT_LT(asked.size(), 200u);

    model.SetFilter({0, 5000, 9999, 12000, -3});  // places outside the list are ignored
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.RowOf(9999), 2);
    EXPECT_EQ(model.RowOf(1), -1);
    EXPECT_EQ(model.ItemAt(3), -1);
    model.SetCurrent(5000);
    EXPECT_TRUE(model.data(model.index(1), Qt::BackgroundRole).isValid());
    model.SetCurrent(20000);
    EXPECT_EQ(model.Current(), -1);
    QImage picture(4, 4, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    model.SetThumbnail(9999, picture);
    EXPECT_EQ(model.data(model.index(2), Qt::DecorationRole).value<QImage>(), picture);
    model.ClearFilter();
    EXPECT_EQ(model.rowCount(), 10000);
    EXPECT_EQ(model.RowOf(9999), 9999);
}

}  // namespace
}  // namespace wbx
