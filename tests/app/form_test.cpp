// The main window driven offscreen: start-up on a generated data folder, the
// folder prompt, the stored position, the lists and the mouse.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include "app/folderprompt.h"
#include "app/umain.h"
#include "qtapplication.h"
#include "viewer/datafolder.h"
#include "viewer/inifile.h"
#include "viewer/modelpose.h"
#include "viewer/pathresolver.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::Bytes;
using testing::CompressedFile;
using testing::EnsureQtApplication;
using testing::ModelFile;
using testing::ReadText;
using testing::SimpleObject;
using testing::SolidLayer;
using testing::TempFolder;
using testing::WriteBytes;
using testing::WriteText;

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApplication();
        SessionPathResolver().Clear();
        data = dir / "data/";
        std::filesystem::create_directories(data + "item/avatar");
        // Two hair items (found by layer 02), bodies in mixed case, a wear item, nothing for the rest.
        for (const char* name : {"00_bbbbb_02.pav", "00_aaaaa_02.pav", "00_aaaaa_01.pav", "01_Zzzzz_01.pav",
                                 "01_11111_01.pav", "01_aaaaa_01.PAV", "02_12345_01.pav", "03_12345_01.pav",
                                 "04_12345_01.pav", "05_12345_01.pav", "05_12345_02.pav"})
            WriteBytes(data + "item/avatar/" + name, CompressedFile(SolidLayer(0, 0, 2, 2, 0x8001)));
        std::filesystem::create_directories(data + "item/avatar/02_dirxx_01.pav");  // a folder, not an item
        WriteModel("type1", 3);
        WriteModel("type2", 6);
        settings = dir / "wardrobix.ini";
    }

    void WriteModel(const std::string& type, int vertices) {
        WriteBytes(data + "character/models/tpv/" + type + "/base.pdt", ModelFile({SimpleObject(vertices)}));
    }

    TFormServices Services() {
        TFormServices services;
        services.SettingsFileName = settings;
        services.FolderPrompt = [this](const std::string& caption, std::string& folder) {
            prompts.push_back(caption);
            if (!promptAnswer) return false;
            folder = *promptAnswer;
            return true;
        };
        services.ExceptionReport = [this](const std::string& message) { reports.push_back(message); };
        return services;
    }

    std::unique_ptr<TForm1> Create() { return std::make_unique<TForm1>(Services()); }

    static std::vector<std::string> Items(const TComboBox* combo) {
        std::vector<std::string> items;
        for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
        return items;
    }

    TempFolder dir;
    std::string data;
    std::string settings;
    std::optional<std::string> promptAnswer;
    std::vector<std::string> prompts;
    std::vector<std::string> reports;
};

TEST_F(FormTest, StartsUpOnTheDataFolderWithListsAndFirstSelections) {
    WriteText(settings, "[app]\npath=" + data + "\n");
    auto form = Create();
    ASSERT_FALSE(form->Terminated());
    EXPECT_EQ(form->StartupOutcome(), TStartupOutcome::Running);
    EXPECT_TRUE(prompts.empty());
    EXPECT_TRUE(reports.empty());

    EXPECT_EQ(Items(form->cbHair), (std::vector<std::string>{"なし", "00_aaaaa", "00_bbbbb"}));
    EXPECT_EQ(Items(form->cbBody), (std::vector<std::string>{"なし", "01_11111", "01_aaaaa", "01_Zzzzz"}));
    EXPECT_EQ(Items(form->cbUpper), (std::vector<std::string>{"なし", "02_12345"}));
    EXPECT_EQ(Items(form->cbWear), (std::vector<std::string>{"なし", "05_12345"}));
    EXPECT_EQ(Items(form->cbAccessory), (std::vector<std::string>{"なし"}));
    // The first five lists start at their first file, the last five at "なし".
    const auto selection = form->PartSelection();
    EXPECT_EQ(selection,
              (std::array<std::string, kPartListCount>{"00_aaaaa", "01_11111", "02_12345", "03_12345",
                                                       "04_12345", "なし", "なし", "なし", "なし", "なし"}));
    EXPECT_EQ(form->cbModels->count(), 10);
    EXPECT_EQ(form->cbModels->Text(), "type1");
    EXPECT_EQ(form->cbModels->itemText(9).toStdString(), "type10");
    EXPECT_TRUE(form->WheelEnabled);
    ASSERT_EQ(form->Pdt.Objects.size(), 1u);
    EXPECT_EQ(form->Pdt.Objects[0].Vertices.size(), 3u);
    EXPECT_EQ(BasePath, data);
}

TEST_F(FormTest, TheWindowAsItsResourceDescribesIt) {
    WriteText(settings, "[app]\npath=" + data + "\n");
    auto form = Create();
    EXPECT_EQ(form->windowTitle().toStdString(), "wardrobix");
    EXPECT_EQ(form->size(), QSize(640, 480));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());  // fixed size
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(0x88, 0x88, 0x88));
    EXPECT_EQ(form->font().pixelSize(), 12);
    EXPECT_EQ(form->font().families().value(0).toStdString(), "IPAPGothic");

    const std::vector<std::pair<TComboBox*, int>> tops = {
        {form->cbModels, 4},    {form->cbHair, 40},     {form->cbBody, 64},      {form->cbUpper, 88},
        {form->cbBottom, 112},  {form->cbShoes, 136},   {form->cbWear, 160},     {form->cbFace, 184},
        {form->cbCostume, 208}, {form->cbFashion, 232}, {form->cbAccessory, 256}};
    for (const auto& [combo, top] : tops) {
        EXPECT_EQ(combo->geometry(), QRect(4, top, 85, 20)) << combo->objectName().toStdString();
        EXPECT_EQ(combo->DropDownCount(), 12);
        EXPECT_FALSE(combo->isEditable());
    }
    // Tab order runs from the model list down the part lists.
    EXPECT_EQ(form->cbModels->nextInFocusChain(), form->cbHair);
    EXPECT_EQ(form->cbFashion->nextInFocusChain(), form->cbAccessory);
}

TEST_F(FormTest, StoredPathWithoutTrailingSeparatorIsAcceptedAndNotRewritten) {
    const std::string stored = "[app]\npath=" + data.substr(0, data.size() - 1) + "\nleft=-30\ntop=5000\n";
    WriteText(settings, stored);
    {
        auto form = Create();
        ASSERT_FALSE(form->Terminated());
        EXPECT_EQ(BasePath, data);
        EXPECT_EQ(form->x(), -30);  // a stored position is used as it is, even off-screen
        EXPECT_EQ(form->y(), 5000);
        EXPECT_EQ(ReadText(settings), stored);
        form->move(10, 20);
    }
    const TIniFile ini(settings);
    EXPECT_EQ(ini.ReadString("app", "path", ""), data.substr(0, data.size() - 1));
    EXPECT_EQ(ini.ReadInteger("app", "left", 0), 10);
    EXPECT_EQ(ini.ReadInteger("app", "top", 0), 20);
}

TEST_F(FormTest, CancelledPromptEndsQuietlyAndStoresTheResourcePosition) {
    WriteText(settings, "[app]\npath=/nowhere/at/all/\nleft=300\ntop=400\n");
    {
        auto form = Create();
        EXPECT_TRUE(form->Terminated());
        EXPECT_EQ(form->StartupOutcome(), TStartupOutcome::NoDataFolder);
        EXPECT_EQ(prompts, (std::vector<std::string>{"DATを展開したパスを指定:"}));
        EXPECT_EQ(form->cbHair->count(), 1);  // nothing below the prompt ran
    }
    EXPECT_TRUE(reports.empty());
    const TIniFile ini(settings);
    EXPECT_EQ(ini.ReadString("app", "path", ""), "/nowhere/at/all/");  // the old path stays
    EXPECT_EQ(ini.ReadInteger("app", "left", 0), 192);
    EXPECT_EQ(ini.ReadInteger("app", "top", 0), 114);
}

TEST_F(FormTest, FolderWithoutAvatarFolderBringsUpThePromptAndAChosenFolderIsStored) {
    std::filesystem::create_directories(dir / "empty");
    WriteText(settings, "; mine\n[app]\npath=" + dir / "empty" + "\n");
    promptAnswer = data.substr(0, data.size() - 1);
    auto form = Create();
    EXPECT_EQ(prompts.size(), 1u);
    ASSERT_FALSE(form->Terminated());
    const TIniFile ini(settings);
    EXPECT_EQ(ini.ReadString("app", "path", ""), data);  // with its trailing separator
    EXPECT_EQ(ReadText(settings).substr(0, 7), "; mine\n");

    // A chosen folder that fails the check ends start-up too.
    prompts.clear();
    promptAnswer = dir / "empty";
    WriteText(settings, "");
    auto second = Create();
    EXPECT_TRUE(second->Terminated());
    EXPECT_EQ(prompts.size(), 1u);
}

TEST_F(FormTest, AnUnreadableSettingsFileGivesTheDefaults) {
    // Something at the settings file's name that cannot be read (by any user).
    std::filesystem::create_directories(settings + "/inside");
    {
        // With the folder of the run: no prompt, the resource position.
        TFormServices services = Services();
        services.DataFolder = data;
        TForm1 form(services);
        EXPECT_EQ(form.StartupOutcome(), TStartupOutcome::Running);
        EXPECT_TRUE(prompts.empty());
        EXPECT_EQ(form.x(), 192);
        EXPECT_EQ(form.y(), 114);
        EXPECT_TRUE(reports.empty());
    }
    // The position could not be stored: said once, the file left alone.
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(settings + "/inside"));

    // Without it, no stored folder: the prompt.
    reports.clear();
    promptAnswer = data;
    {
        auto form = Create();
        EXPECT_EQ(prompts.size(), 1u);
        EXPECT_EQ(form->StartupOutcome(), TStartupOutcome::Running);
    }
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(FormTest, AnUnwritableSettingsLocationIsReportedOnceAndTheChosenFolderIsUsed) {
    // A folder that cannot be created even by root: its parent is a file.
    WriteText(dir / "blocker", "a file where the folder should be");
    settings = dir / "blocker/wardrobix.ini";
    promptAnswer = data;
    {
        auto form = Create();
        ASSERT_EQ(form->StartupOutcome(), TStartupOutcome::Running);
        EXPECT_EQ(BasePath, data);
        EXPECT_EQ(form->cbHair->count(), 3);  // the lists of the chosen folder
        EXPECT_TRUE(form->IdleHandlerInstalled());
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find(settings), std::string::npos) << reports[0];
    }
    EXPECT_EQ(reports.size(), 1u);  // and not again when the position cannot be stored
}

TEST_F(FormTest, AReadOnlySettingsFileIsLeftAsItIsAndTheFailedWriteReported) {
    const std::string stored = "[app]\npath=" + data + "\nleft=77\ntop=88\n";
    WriteText(settings, stored);
    std::filesystem::permissions(settings, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
    {
        auto form = Create();
        ASSERT_EQ(form->StartupOutcome(), TStartupOutcome::Running);
        EXPECT_EQ(form->x(), 77);
        form->move(10, 20);
    }
    EXPECT_EQ(ReadText(settings), stored);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("read-only"), std::string::npos) << reports[0];
}

TEST_F(FormTest, DataFolderOfTheRunIsUsedAndNotStored) {
    TFormServices services = Services();
    services.DataFolder = data;
    auto form = std::make_unique<TForm1>(services);
    ASSERT_FALSE(form->Terminated());
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(TIniFile(settings).ReadString("app", "path", "none"), "none");
}

TEST_F(FormTest, MissingFirstModelEndsQuietlyAndWritesThePositionBackUnchanged) {
    std::filesystem::remove_all(data + "character/models/tpv/type1");
    WriteText(settings, "[app]\npath=" + data + "\nleft=77\ntop=88\n");
    {
        auto form = Create();
        EXPECT_TRUE(form->Terminated());
        EXPECT_EQ(form->StartupOutcome(), TStartupOutcome::MissingModel);
        EXPECT_EQ(form->cbHair->count(), 3);  // the lists were filled before
    }
    EXPECT_TRUE(reports.empty());
    const TIniFile ini(settings);
    EXPECT_EQ(ini.ReadInteger("app", "left", 0), 77);
    EXPECT_EQ(ini.ReadInteger("app", "top", 0), 88);
}

TEST_F(FormTest, DamagedFirstModelIsReportedAndEndsStartUp) {
    WriteBytes(data + "character/models/tpv/type1/base.pdt", Bytes{1, 0, 0, 0, 1, 0});
    WriteText(settings, "[app]\npath=" + data + "\n");
    auto form = Create();
    EXPECT_EQ(form->StartupOutcome(), TStartupOutcome::Failed);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("type1/base.pdt"), std::string::npos) << reports[0];
}

TEST_F(FormTest, ModelSelectionReloadsAndKeepsTheModelOnFailure) {
    WriteText(settings, "[app]\npath=" + data + "\n");
    WriteBytes(data + "character/models/tpv/TYPE4/BASE.PDT", Bytes{9, 9});  // found whatever its case
    auto form = Create();
    const auto select = [&](int index) {
        form->cbModels->setCurrentIndex(index);
        emit form->cbModels->activated(index);  // as the user's pick
    };
    select(1);
    EXPECT_EQ(form->Pdt.Objects[0].Vertices.size(), 6u);
    select(2);  // type3 has no file: the figure stays
    EXPECT_EQ(form->Pdt.Objects[0].Vertices.size(), 6u);
    EXPECT_TRUE(reports.empty());
    select(3);  // damaged: reported, the figure stays
    EXPECT_EQ(form->Pdt.Objects[0].Vertices.size(), 6u);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("BASE.PDT"), std::string::npos);
}

TEST_F(FormTest, EveryListAtNoneWhenTheAvatarFolderIsEmpty) {
    std::filesystem::remove_all(data + "item/avatar");
    std::filesystem::create_directories(data + "item/avatar");
    WriteText(settings, "[app]\npath=" + data + "\n");
    auto form = Create();
    ASSERT_FALSE(form->Terminated());
    for (const std::string& item : form->PartSelection()) EXPECT_EQ(item, "なし");
}

// Mouse events as the window receives them.
void SendMouse(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), to->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}
bool SendWheel(QWidget* to, int delta) {
    QWheelEvent event(QPointF(5, 5), to->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(to, &event);
    return event.isAccepted();
}

class FormInputTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        WriteText(settings, "[app]\npath=" + data + "\n");
        form = Create();
        ASSERT_FALSE(form->Terminated());
    }
    void LeftDrag(QPoint from, QPoint to) {
        SendMouse(form.get(), QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        SendMouse(form.get(), QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        SendMouse(form.get(), QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    std::unique_ptr<TForm1> form;
};

TEST_F(FormInputTest, LeftDragsTurnAndTiltTheFigure) {
    form->Yaw = 4090;
    LeftDrag({300, 200}, {302, 200});
    EXPECT_EQ(form->Yaw, 4);
    form->Yaw = 0;
    LeftDrag({300, 200}, {299, 200});
    EXPECT_EQ(form->Yaw, 4091);

    form->Pitch = 880;
    LeftDrag({300, 200}, {300, 190});  // 10 pixels up: 930, clamped
    EXPECT_EQ(form->Pitch, 890);
    LeftDrag({300, 200}, {300, 600});
    EXPECT_EQ(form->Pitch, -890);
    EXPECT_EQ(form->DragSource, nullptr);  // the release ended the drag

    // A far jump in one event still lands in 0..4095.
    form->Yaw = 0;
    LeftDrag({0, 0}, {2000, 0});
    EXPECT_EQ(form->Yaw, 10000 % 4096);
}

TEST_F(FormInputTest, RightButtonDragsAndMovesWithoutAPressAreIgnored) {
    SendMouse(form.get(), QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(form->DragSource, form.get());  // any button starts tracking
    SendMouse(form.get(), QEvent::MouseMove, {150, 130}, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(form->Yaw, 0);
    EXPECT_EQ(form->Pitch, 0);
    SendMouse(form.get(), QEvent::MouseButtonRelease, {150, 130}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(form->DragSource, nullptr);
    // Left button held but the press was not on the window (no drag source).
    SendMouse(form.get(), QEvent::MouseMove, {180, 130}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form->Yaw, 0);
}

TEST_F(FormInputTest, WheelZoomsWithinItsBoundsAndNotWhileAListIsOpen) {
    EXPECT_TRUE(SendWheel(form.get(), 120));
    EXPECT_FLOAT_EQ(form->Zoom, 0.988f);
    EXPECT_TRUE(SendWheel(form.get(), -240));
    EXPECT_FLOAT_EQ(form->Zoom, static_cast<float>(0.988f + 0.024));

    form->Zoom = 0.21f;
    EXPECT_TRUE(SendWheel(form.get(), 120));  // 0.198 is below 0.2: refused, not clamped
    EXPECT_EQ(form->Zoom, 0.21f);
    form->Zoom = 2.995f;
    SendWheel(form.get(), -120);
    EXPECT_EQ(form->Zoom, 2.995f);

    form->Zoom = 1.0f;
    form->cbWear->showPopup();
    EXPECT_FALSE(form->WheelEnabled);
    SendWheel(form.get(), 120);
    EXPECT_EQ(form->Zoom, 1.0f);
    bool handled = false;
    form->FormMouseWheel(form.get(), 0, 120, QPoint(5, 5), handled);
    EXPECT_FALSE(handled);  // left to the open list
    form->cbWear->hidePopup();
    EXPECT_TRUE(form->WheelEnabled);
    SendWheel(form.get(), 120);
    EXPECT_FLOAT_EQ(form->Zoom, 0.988f);
}

TEST_F(FormInputTest, WheelOverAClosedListZoomsInsteadOfChangingTheSelection) {
    const int before = form->cbHair->currentIndex();
    SendWheel(form->cbHair, -120);
    EXPECT_EQ(form->cbHair->currentIndex(), before);
    EXPECT_FLOAT_EQ(form->Zoom, 1.012f);
}

TEST(FolderPrompt, CaptionedExactlyAndOpeningOnTheHomeFolder) {
    EnsureQtApplication();
    TempFolder home;
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", home.Path().c_str(), 1);
    const auto dialog = MakeFolderDialog(nullptr, kFolderPromptCaption);
    ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(dialog->windowTitle().toStdString(), "DATを展開したパスを指定:");
    EXPECT_EQ(dialog->directory().canonicalPath(), QDir(QString::fromStdString(home.Path())).canonicalPath());
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
}

TEST(ModelPose, BackTextureBetweenAQuarterAndThreeQuartersOfATurn) {
    EXPECT_FALSE(ShowsBackTexture(0));
    EXPECT_FALSE(ShowsBackTexture(1023));
    EXPECT_TRUE(ShowsBackTexture(1024));
    EXPECT_TRUE(ShowsBackTexture(3071));
    EXPECT_FALSE(ShowsBackTexture(3072));
    float zoom = 0;
    EXPECT_TRUE(WheelZoom(0.212f, 120, zoom));  // lands on 0.2 (as a single): allowed
    EXPECT_FALSE(WheelZoom(3.0f, -1, zoom));
    EXPECT_EQ(DraggedYaw(0, -2000), ((-10000 % 4096) + 4096) % 4096);
    EXPECT_EQ(DraggedPitch(0, INT32_MIN / 2), 890);
}

}  // namespace
}  // namespace wbx
