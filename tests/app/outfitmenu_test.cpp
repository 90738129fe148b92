// Outfits in the main window, driven offscreen on generated sample data: the
// outfit and pose come back at the next start, an item that went away falls
// back with a line in the status bar, share codes travel through the
// clipboard, and named outfits are saved, loaded, renamed and deleted.
#include "app/outfitmenu.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QStatusBar>
#include <filesystem>
#include <random>
#include <set>

#include "app/dressing.h"
#include "app/mainwindow.h"
#include "scene/frame.h"
#include "viewer/inifile.h"
#include "viewer/sharecode.h"
#include "viewerfixture.h"

namespace wbx {
namespace {

using testing::TextureTexels;
using testing::UserSelects;
using testing::ViewerTest;

class OutfitMenuTest : public ViewerTest {
protected:
    std::unique_ptr<TMainWindow> CreateWindow() {
        auto window = std::make_unique<TMainWindow>(Services(), dir / "config/outfits.txt");
        // Questions are answered from the queues below; none may be left unasked.
        window->Outfits().Prompts.AskText = [this](const QString&, const QString&,
                                                   const QString&) -> std::optional<QString> {
            if (answers.empty()) {
                ADD_FAILURE() << "an unexpected question";
                return std::nullopt;
            }
            std::optional<QString> answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        };
        window->Outfits().Prompts.Confirm = [this](const QString&, const QString&) {
            ++confirmations;
            return confirmAnswer;
        };
        window->Outfits().Prompts.Warn = [this](const QString&, const QString& message) {
            warnings.push_back(message.toStdString());
        };
        return window;
    }

    static TOutfit Dressed() { return testing::DressedOutfit(); }

    std::vector<std::optional<QString>> answers;
    bool confirmAnswer = true;
    int confirmations = 0;
    std::vector<std::string> warnings;
};

TEST_F(OutfitMenuTest, OutfitAndPoseComeBackAtTheNextStart) {
    {
        auto window = CreateWindow();
        ASSERT_EQ(window->Form().StartupOutcome(), TStartupOutcome::Running);
        ASSERT_TRUE(window->Outfits().Dress(Dressed()));
        SetFormPose(window->Form(), TViewPose{1500, -200, 1.75f});
    }
    {
        // Its own section; the window's keys are where they were.
        const TIniFile ini(dir / "wardrobix.ini");
        EXPECT_EQ(ini.ReadString("outfit", "code", ""), EncodeShareCode(Dressed()));
        EXPECT_TRUE(ini.ValueExists("app", "left"));
    }
    auto window = CreateWindow();
    TForm1& form = window->Form();
    EXPECT_EQ(CurrentOutfit(form), Dressed());
    EXPECT_EQ(form.cbUpper->Text(), "02_12040");
    EXPECT_EQ(form.cbModels->Text(), "type2");
    EXPECT_EQ(FormPose(form), (TViewPose{1500, -200, 1.75f}));
    EXPECT_EQ(form.ModelFrame->GetTexture(), form.BackTexture.get());  // the pose reached the scene
    // The figure wears it: the textures are those of the lists' selections.
    EXPECT_EQ(form.PartSelection()[plUpper], "02_12040");
    EXPECT_TRUE(window->StatusText().isEmpty()) << window->StatusText().toStdString();
    EXPECT_TRUE(reports.empty());
}

TEST_F(OutfitMenuTest, AnItemThatWentAwayFallsBackWithALineInTheStatusBar) {
    {
        auto window = CreateWindow();
        window->Outfits().Dress(Dressed());
    }
    for (const auto& entry : std::filesystem::directory_iterator(data + "item/avatar"))
        if (entry.path().filename().string().rfind("02_12040", 0) == 0) std::filesystem::remove(entry.path());
    std::filesystem::remove_all(data + "character/models/tpv/type2");

    auto window = CreateWindow();
    TForm1& form = window->Form();
    ASSERT_EQ(form.StartupOutcome(), TStartupOutcome::Running);
    EXPECT_TRUE(reports.empty()) << reports[0];  // never an error box
    EXPECT_EQ(form.cbUpper->currentIndex(), StartupIndex(*form.cbUpper, plUpper));
    EXPECT_EQ(form.cbModels->Text(), "type1");
    EXPECT_EQ(form.cbShoes->Text(), "04_14020");  // the rest is worn
    const std::string status = window->StatusText().toStdString();
    EXPECT_NE(status.find("upper item \"02_12040\""), std::string::npos) << status;
    EXPECT_NE(status.find("type2"), std::string::npos) << status;
}

TEST_F(OutfitMenuTest, ShareCodesTravelThroughTheClipboardAndBadOnesAreNamed) {
    auto window = CreateWindow();
    TForm1& form = window->Form();
    TOutfitMenu& outfits = window->Outfits();
    const TOutfit startup = CurrentOutfit(form);

    outfits.CopyShareCode();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), EncodeShareCode(startup));

    QGuiApplication::clipboard()->setText(QStringLiteral("wbx1:type1,,,05_12345,,,,,,,"));
    outfits.PasteShareCode();
    EXPECT_EQ(CurrentOutfit(form), startup);  // nothing changed
    EXPECT_NE(window->StatusText().toStdString().find("upper item"), std::string::npos);
    QGuiApplication::clipboard()->setText(QString());
    outfits.PasteShareCode();
    EXPECT_NE(window->StatusText().toStdString().find("no share code"), std::string::npos);

    // A good code dresses through the lists: one composition of what they show.
    QGuiApplication::clipboard()->setText(QString::fromStdString(EncodeShareCode(Dressed()) + "\n"));
    outfits.PasteShareCode();
    EXPECT_EQ(CurrentOutfit(form), Dressed());
    EXPECT_EQ(form.cbFace->currentIndex(), 0);
    ASSERT_TRUE(Frame(form));
    const std::vector<uint8_t> dressed = TextureTexels(*form.FrontTexture);
    // The same as picking the items in the lists one by one.
    auto other = CreateWindow();
    const TOutfit wanted = Dressed();
    for (int list = 0; list < kPartListCount; ++list) {
        TComboBox* combo = other->Form().PartCombo(static_cast<TPartList>(list));
        const std::string& item = wanted.Items[static_cast<size_t>(list)];
        UserSelects(combo, item.empty() ? 0 : combo->findText(QString::fromStdString(item)));
    }
    EXPECT_EQ(TextureTexels(*other->Form().FrontTexture), dressed);
}

TEST_F(OutfitMenuTest, RandomOutfitsWearTheListsItems) {
    auto window = CreateWindow();
    TForm1& form = window->Form();
    std::set<std::string> uppers;
    for (int i = 0; i < 30; ++i) {
        window->Outfits().DressRandomly();
        const TOutfit outfit = CurrentOutfit(form);
        EXPECT_TRUE(OutfitProblems(form, outfit).empty());
        for (const TPartList dressed : {plHair, plBody, plUpper, plBottom, plShoes})
            EXPECT_GT(form.PartCombo(dressed)->currentIndex(), 0);
        uppers.insert(outfit.Items[plUpper]);
    }
    EXPECT_GT(uppers.size(), 2u);
    EXPECT_TRUE(window->StatusText().isEmpty());
}

TEST_F(OutfitMenuTest, NamedOutfitsAreSavedLoadedRenamedAndDeleted) {
    auto window = CreateWindow();
    TForm1& form = window->Form();
    TOutfitMenu& outfits = window->Outfits();
    const TOutfit startup = CurrentOutfit(form);

    answers = {QStringLiteral("  Plain & simple ")};
    outfits.SaveOutfitAs();
    outfits.Dress(Dressed());
    answers = {QStringLiteral("Party")};
    outfits.SaveOutfitAs();
    EXPECT_EQ(confirmations, 0);

    // The submenus list them when the menu opens; & shows as itself.
    emit window->Menu(TShellMenu::Outfit)->aboutToShow();
    QMenu* load = nullptr;
    for (QAction* action : window->Menu(TShellMenu::Outfit)->actions())
        if (action->menu() != nullptr && action->text() == QStringLiteral("&Load outfit"))
            load = action->menu();
    ASSERT_NE(load, nullptr);
    ASSERT_EQ(load->actions().size(), 2);
    EXPECT_EQ(load->actions()[0]->text(), QStringLiteral("Plain && simple"));
    load->actions()[0]->trigger();
    EXPECT_EQ(CurrentOutfit(form), startup);

    // Saving under a used name asks first; no keeps the stored outfit.
    confirmAnswer = false;
    answers = {QStringLiteral("Party")};
    outfits.SaveOutfitAs();
    EXPECT_EQ(confirmations, 1);
    EXPECT_EQ(outfits.Store().Find("Party"), Dressed());

    answers = {QStringLiteral("Evening")};
    outfits.RenameOutfit("Party");
    outfits.LoadOutfit("Evening");
    EXPECT_EQ(CurrentOutfit(form), Dressed());
    EXPECT_NE(window->StatusText().toStdString().find("Evening"), std::string::npos);

    // A refused change is told, and nothing is lost.
    answers = {QStringLiteral("Evening")};
    outfits.RenameOutfit("Plain & simple");
    ASSERT_EQ(warnings.size(), 1u);
    answers = {std::nullopt};  // cancelled
    outfits.SaveOutfitAs();

    confirmAnswer = true;
    outfits.DeleteOutfit("Evening");
    TOutfitStore reread(dir / "config/outfits.txt");
    ASSERT_EQ(reread.Outfits().size(), 1u);
    EXPECT_EQ(reread.Outfits()[0].Name, "Plain & simple");
    EXPECT_EQ(reread.Outfits()[0].Outfit, startup);
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(reports.empty());
}

TEST_F(OutfitMenuTest, ADamagedLastOutfitAndUnreadableOutfitLinesAreToldNotFatal) {
    {
        TIniFile ini(dir / "wardrobix.ini");
        ini.WriteString("outfit", "code", "wbx1:type99,,,,,,,,,,");
        ini.WriteString("outfit", "zoom", "2.5");
    }
    testing::WriteText(dir / "config/outfits.txt", "garbage line\n");
    auto window = CreateWindow();
    EXPECT_EQ(window->Form().StartupOutcome(), TStartupOutcome::Running);
    EXPECT_FLOAT_EQ(window->Form().Zoom, 2.5f);
    const std::string status = window->StatusText().toStdString();
    EXPECT_NE(status.find("body type"), std::string::npos) << status;
    EXPECT_NE(status.find("line 1"), std::string::npos) << status;
    EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace wbx
