// The viewer program in snapshot mode: one frame of the running window
// written as PNG, and the exit statuses of the runs that cannot show one.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sampledata/datafolder.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::TempFolder;

struct TRun {
    int Status = -1;
    std::string Stdout;
    std::string Stderr;
};

// Runs a viewer executable headless with arguments (each quoted as given).
// environment: more NAME=value settings for the run.
TRun RunViewer(const std::vector<std::string>& arguments, const TempFolder& dir,
               const std::string& executable = WBX_VIEWER_EXECUTABLE, const std::string& environment = "") {
    std::string command =
        "QT_QPA_PLATFORM=offscreen HOME='" + dir.Path() + "' " + environment + " '" + executable + "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    const std::string output = dir / "stdout.txt";
    const std::string errors = dir / "stderr.txt";
    command += " >'" + output + "' 2>'" + errors + "'";
    TRun run;
    const int status = std::system(command.c_str());
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Stdout = testing::ReadText(output);
    run.Stderr = testing::ReadText(errors);
    return run;
}

// The lines the viewer itself wrote (the toolkit may add its own).
int ProgramLines(const std::string& text) {
    int lines = 0;
    for (size_t at = text.find("wardrobix: "); at != std::string::npos; at = text.find("wardrobix: ", at + 1))
        lines += at == 0 || text[at - 1] == '\n';
    return lines;
}

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override { sampledata::GenerateDataFolder(data); }
    // A copy of the viewer in the test's folder, whose settings file (beside
    // the executable) is then the test's own.
    std::string OwnViewer() {
        const std::string copy = dir / "bin/wardrobix";
        std::filesystem::create_directories(dir / "bin");
        std::filesystem::copy_file(WBX_VIEWER_EXECUTABLE, copy);
        return copy;
    }
    TempFolder dir;
    std::string data = dir / "data";
    std::string png = dir / "frame.png";
};

TEST_F(SnapshotTest, WritesThePresentedFrameOfTheDressedFigure) {
    const TRun run = RunViewer({"--data", data, "--snapshot", png}, dir);
    ASSERT_EQ(run.Status, 0) << run.Stderr;
    QImage frame(QString::fromStdString(png));
    ASSERT_EQ(frame.size(), QSize(640, 480));
    // The device's frame, not the window: no lists, grey where nothing is drawn.
    EXPECT_EQ(frame.pixel(30, 130), 0xFF888888);
    EXPECT_EQ(frame.pixel(639, 479), 0xFF888888);
    EXPECT_NE(frame.pixel(320, 240), 0xFF888888);
}

TEST_F(SnapshotTest, RunsThatCannotShowAFrameEndWithTheirStatus) {
    // The folder given is not a data folder: 2, without a prompt.
    TRun run = RunViewer({"--data", dir / "nowhere", "--snapshot", png}, dir);
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Stderr.find("nowhere"), std::string::npos) << run.Stderr;

    // No first model: 3.
    std::filesystem::remove_all(data + "/character/models/tpv/type1");
    run = RunViewer({"--data", data, "--snapshot", png}, dir);
    EXPECT_EQ(run.Status, 3) << run.Stderr;

    // A damaged first model: its error on stderr, 1.
    testing::WriteBytes(data + "/character/models/tpv/type1/base.pdt", testing::Bytes{1, 0, 0, 0, 9, 0, 0});
    run = RunViewer({"--data", data, "--snapshot", png}, dir);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Stderr.find("base.pdt"), std::string::npos) << run.Stderr;
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(SnapshotTest, AnOutfitIsDrawnAndOneItCannotDressEndsWithTwo) {
    ASSERT_EQ(RunViewer({"--data", data, "--snapshot", png}, dir).Status, 0);
    const QImage plain(QString::fromStdString(png));
    const std::string dressedPng = dir / "dressed.png";
    TRun run =
        RunViewer({"--data", data, "--outfit", "wbx1:type2,00_10030,01_11020,02_12040,03_13020,04_14020,,,,,",
                   "--snapshot", dressedPng},
                  dir);
    ASSERT_EQ(run.Status, 0) << run.Stderr;
    const QImage dressed(QString::fromStdString(dressedPng));
    ASSERT_EQ(dressed.size(), QSize(640, 480));
    EXPECT_NE(dressed, plain);

    // A bad code, an item the folder lacks, a body type without its model: 2,
    // one line naming the part, no picture.
    const std::string refusedPng = dir / "refused.png";
    for (const auto& [code, part] : std::vector<std::pair<std::string, std::string>>{
             {"wbx1:type2,,,03_13020,,,,,,,", "upper item"},
             {"wbx1:type1,,,02_99999,,,,,,,", "upper item \"02_99999\" is not in the data folder"}}) {
        run = RunViewer({"--data", data, "--outfit=" + code, "--snapshot", refusedPng}, dir);
        EXPECT_EQ(run.Status, 2) << code;
        EXPECT_NE(run.Stderr.find(part), std::string::npos) << run.Stderr;
        EXPECT_EQ(run.Stderr.find("falls back"), std::string::npos) << run.Stderr;
        EXPECT_EQ(ProgramLines(run.Stderr), 1) << run.Stderr;
        EXPECT_FALSE(std::filesystem::exists(refusedPng));
    }
    std::filesystem::remove_all(data + "/character/models/tpv/type4");
    run = RunViewer({"--data", data, "--outfit", "wbx1:type4,,,,,,,,,,", "--snapshot", refusedPng}, dir);
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Stderr.find("type4"), std::string::npos) << run.Stderr;
}

TEST_F(SnapshotTest, HelpVersionAndBadArgumentsEndWithTheirStatus) {
    TRun run = RunViewer({"--help"}, dir);
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Stdout.rfind("Usage: wardrobix", 0), 0u) << run.Stdout;
    run = RunViewer({"--version"}, dir);
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Stdout.rfind("wardrobix", 0), 0u) << run.Stdout;
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--frobnicate"}, {"--data"}, {"--snapshot="}, {"--data", data, "extra"}}) {
        run = RunViewer(arguments, dir);
        EXPECT_EQ(run.Status, 2) << arguments[0];
        EXPECT_NE(run.Stderr.find("Usage:"), std::string::npos) << run.Stderr;
        EXPECT_TRUE(run.Stdout.empty());
    }
}

TEST_F(SnapshotTest, WithoutAUsableDataFolderTheSnapshotEndsWith2) {
    // No --data and no stored folder: nothing to ask in a headless run.
    const std::string viewer = OwnViewer();
    TRun run = RunViewer({"--snapshot", png}, dir, viewer);
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Stderr.find("--data"), std::string::npos) << run.Stderr;
    // A stored folder without item/avatar is no better.
    testing::WriteText(dir / "bin/wardrobix.ini", "[app]\npath=" + dir.Path() + "\n");
    run = RunViewer({"--snapshot", png}, dir, viewer);
    EXPECT_EQ(run.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(SnapshotTest, ASnapshotFileThatCannotBeWrittenEndsWith1) {
    const std::string nowhere = dir / "missing-folder/frame.png";
    const TRun run = RunViewer({"--data", data, "--snapshot", nowhere}, dir);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Stderr.find(nowhere), std::string::npos) << run.Stderr;
}

TEST_F(SnapshotTest, LeavesTheSettingsFileAsItIs) {
    const std::string viewer = OwnViewer();
    const std::string settings = dir / "bin/wardrobix.ini";
    // None is made...
    ASSERT_EQ(RunViewer({"--data", data, "--snapshot", png}, dir, viewer).Status, 0);
    EXPECT_FALSE(std::filesystem::exists(settings));
    // ...and one that exists is neither rewritten nor touched.
    const std::string stored = "; mine\n[app]\npath=" + data + "/\nleft=300\ntop=15\n";
    testing::WriteText(settings, stored);
    const auto modified = std::filesystem::last_write_time(settings);
    std::filesystem::remove(png);
    ASSERT_EQ(RunViewer({"--snapshot", png}, dir, viewer).Status, 0);  // the stored folder is used
    EXPECT_TRUE(std::filesystem::exists(png));
    EXPECT_EQ(testing::ReadText(settings), stored);
    EXPECT_EQ(std::filesystem::last_write_time(settings), modified);
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "bin"))
        beside.push_back(entry.path().filename().string());
    std::sort(beside.begin(), beside.end());
    EXPECT_EQ(beside, (std::vector<std::string>{"wardrobix", "wardrobix.ini"}));
}

// The export encoders and their libraries lie in a module the program loads
// on its first export; the dynamic loader's own report (LD_DEBUG=files) names
// every object it maps.
bool Mapped(const TRun& run, const std::string& object) {
    return run.Stderr.find("file=" + object) != std::string::npos ||
           run.Stderr.find("/" + object) != std::string::npos;
}
const std::vector<std::string> kExportObjects = {"libwebp.so",     "libwebpmux.so", "libgif.so",
                                                 "libtinygltf.so", "libstb.so",     "wardrobix-export.so"};

TEST_F(SnapshotTest, TheFirstFrameMapsNoExportLibraryAndAnExportLoadsThem) {
    TRun run = RunViewer({"--data", data, "--snapshot", png}, dir, WBX_VIEWER_EXECUTABLE, "LD_DEBUG=files");
    ASSERT_EQ(run.Status, 0) << run.Stderr;
    ASSERT_TRUE(Mapped(run, "libQt6Widgets.so")) << "no loader report: " << run.Stderr;
    for (const std::string& object : kExportObjects) EXPECT_FALSE(Mapped(run, object)) << object;
    EXPECT_FALSE(QImage(QString::fromStdString(png)).isNull());

    const std::string glb = dir / "figure.glb", gif = dir / "turn.gif";
    run =
        RunViewer({"render", "--data", data, "--size", "64x48", "--glb", glb, "--turntable", "2", "-o", gif},
                  dir, WBX_VIEWER_EXECUTABLE, "LD_DEBUG=files");
    ASSERT_EQ(run.Status, 0) << run.Stderr;
    EXPECT_TRUE(Mapped(run, "wardrobix-export.so"));
    EXPECT_EQ(testing::ReadText(glb).substr(0, 4), "glTF");
    EXPECT_EQ(testing::ReadText(gif).substr(0, 6), "GIF89a");
}

TEST_F(SnapshotTest, WithoutItsExportModuleTheViewerDrawsAndAnExportSaysWhatIsMissing) {
    const std::string viewer = OwnViewer();  // alone in its folder
    TRun run = RunViewer({"--data", data, "--snapshot", png}, dir, viewer);
    ASSERT_EQ(run.Status, 0) << run.Stderr;

    // Nothing is written when the module is missing, not even the picture
    // that needs no module.
    const std::string glb = dir / "figure.glb", picture = dir / "picture.png";
    run = RunViewer({"render", "--data", data, "--glb", glb, "-o", picture}, dir, viewer);
    EXPECT_EQ(run.Status, 1);
    EXPECT_FALSE(std::filesystem::exists(picture));
    EXPECT_NE(
        run.Stderr.find("wardrobix: the export module \"wardrobix-export.so\" is missing (looked in \"" +
                        dir / "bin" + "\""),
        std::string::npos)
        << run.Stderr;
    EXPECT_FALSE(std::filesystem::exists(glb));

    // A damaged module is refused with the loader's reason, not run.
    testing::WriteText(dir / "bin/wardrobix-export.so", "not a module");
    run = RunViewer({"render", "--data", data, "--glb", glb}, dir, viewer);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(
        run.Stderr.find("the export module \"" + dir / "bin/wardrobix-export.so" + "\" cannot be loaded"),
        std::string::npos)
        << run.Stderr;
    EXPECT_FALSE(std::filesystem::exists(glb));
}

}  // namespace
}  // namespace wbx
