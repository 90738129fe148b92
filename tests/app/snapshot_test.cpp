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
TRun RunViewer(const std::vector<std::string>& arguments, const TempFolder& dir,
               const std::string& executable = WBX_VIEWER_EXECUTABLE) {
    std::string command = "QT_QPA_PLATFORM=offscreen HOME='" + dir.Path() + "' '" + executable + "'";
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

}  // namespace
}  // namespace wbx
