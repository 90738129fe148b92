// wardrobix-sample-data as a user runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "formatreaders.h"
#include "generatedfolder.h"

namespace wbx::testing {
namespace {

struct GeneratorRun {
    int ExitCode;
    std::string Output;  // stdout and stderr together
};

GeneratorRun RunGenerator(const std::string& arguments) {
    const std::string command = std::string("\"") + WBX_SAMPLE_DATA_EXECUTABLE + "\" " + arguments + " 2>&1";
    GeneratorRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
    const int status = pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CommandLine, WritesTheFolderAndSaysWhatItWrote) {
    const std::string folder = FreshDirectory("cli-default");
    const GeneratorRun run = RunGenerator("\"" + folder + "\"");
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_NE(run.Output.find("wrote 95 files"), std::string::npos) << run.Output;
    // The default seed is the library's default: the same bytes as the shared folder.
    const std::string layer = "item/avatar/02_12030_01.pav";
    EXPECT_EQ(ReadFileBytes(folder + layer), ReadFileBytes(GeneratedFolder() + layer));
}

TEST(CommandLine, SeedSelectsTheColours) {
    const std::string a = FreshDirectory("cli-seed-a"), b = FreshDirectory("cli-seed-b");
    ASSERT_EQ(RunGenerator("--seed 5 \"" + a + "\"").ExitCode, 0);
    ASSERT_EQ(RunGenerator("\"" + b + "\" --seed 5").ExitCode, 0);
    const std::string layer = "item/avatar/00_10010_02.pav";
    EXPECT_EQ(ReadFileBytes(a + layer), ReadFileBytes(b + layer));
    EXPECT_NE(ReadFileBytes(a + layer), ReadFileBytes(GeneratedFolder() + layer));
}

TEST(CommandLine, SeedsUpToTheLargest64BitNumberAndNoFurther) {
    const std::string layer = "item/avatar/00_10010_02.pav";
    const std::string largest = FreshDirectory("cli-seed-max");
    ASSERT_EQ(RunGenerator("--seed 18446744073709551615 \"" + largest + "\"").ExitCode, 0);
    // One more is refused, not taken as the largest.
    const GeneratorRun beyond =
        RunGenerator("--seed 18446744073709551616 \"" + FreshDirectory("cli-seed-over") + "\"");
    EXPECT_EQ(beyond.ExitCode, 2);
    EXPECT_NE(beyond.Output.find("--seed"), std::string::npos) << beyond.Output;
    EXPECT_EQ(RunGenerator("--seed 99999999999999999999999 x").ExitCode, 2);
    // Leading zeros are the same number.
    const std::string padded = FreshDirectory("cli-seed-zeros");
    ASSERT_EQ(RunGenerator("--seed 0000000000000000000005 \"" + padded + "\"").ExitCode, 0);
    const std::string five = FreshDirectory("cli-seed-five");
    ASSERT_EQ(RunGenerator("--seed 5 \"" + five + "\"").ExitCode, 0);
    EXPECT_EQ(ReadFileBytes(padded + layer), ReadFileBytes(five + layer));
    EXPECT_NE(ReadFileBytes(largest + layer), ReadFileBytes(five + layer));
}

TEST(CommandLine, BadArgumentsAndUnwritableFoldersFailWithAMessage) {
    EXPECT_EQ(RunGenerator("").ExitCode, 2);
    EXPECT_EQ(RunGenerator("--seed").ExitCode, 2);
    EXPECT_EQ(RunGenerator("--seed -3 x").ExitCode, 2);
    EXPECT_EQ(RunGenerator("--seed 12ab x").ExitCode, 2);
    EXPECT_EQ(RunGenerator("--frobnicate x").ExitCode, 2);
    EXPECT_EQ(RunGenerator("a b").ExitCode, 2);
    const GeneratorRun help = RunGenerator("--help");
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Output.find("usage:"), std::string::npos);

    const std::string folder = FreshDirectory("cli-blocked");
    std::ofstream(folder + "character") << "a file where a folder should be";
    const GeneratorRun blocked = RunGenerator("\"" + folder + "\"");
    EXPECT_EQ(blocked.ExitCode, 1);
    EXPECT_NE(blocked.Output.find(folder + "character"), std::string::npos) << blocked.Output;
}

}  // namespace
}  // namespace wbx::testing
