// The viewer program in snapshot mode: one frame of the running window
// written as PNG, and the exit statuses of the runs that cannot show one.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
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
    std::string Stderr;
};

// Runs the viewer headless with arguments (each quoted as given).
TRun RunViewer(const std::vector<std::string>& arguments, const TempFolder& dir) {
    std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + WBX_VIEWER_EXECUTABLE + "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    const std::string errors = dir / "stderr.txt";
    command += " 2>'" + errors + "'";
    TRun run;
    const int status = std::system(command.c_str());
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

}  // namespace
}  // namespace wbx
