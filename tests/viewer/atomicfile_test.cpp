// Files that appear whole or not at all: a commit replaces the old file, a
// write abandoned leaves it as it was and no temporary behind, and a later
// run clears the temporaries a killed one left (its own tag's only).
#include "viewer/atomicfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tempfolder.h"

namespace wbx {
namespace {

size_t Entries(const std::string& folder) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        count += entry.is_regular_file();
    return count;
}

TEST(AtomicFile, CommitReplacesAndAnAbandonedWriteLeavesTheOldFile) {
    const testing::TempFolder dir;
    const std::string file = dir / "a.txt";
    testing::WriteText(file, "old");
    {
        TAtomicFile out(file, "t");
        out.Write("new ");
        out.Write("text");
        EXPECT_EQ(testing::ReadText(file), "old");  // nothing shows before the commit
        EXPECT_EQ(Entries(dir.Path()), 2u);
        out.Commit(true);
    }
    EXPECT_EQ(testing::ReadText(file), "new text");
    {
        TAtomicFile out(file, "t");
        out.Write("never seen");
    }  // not committed
    EXPECT_EQ(testing::ReadText(file), "new text");
    EXPECT_EQ(Entries(dir.Path()), 1u);

    WriteFileAtomically(dir / "b.bin", std::vector<uint8_t>{1, 2, 3});
    EXPECT_EQ(std::filesystem::file_size(dir / "b.bin"), 3u);
    EXPECT_THROW(WriteFileAtomically(dir / "missing/c.bin", std::vector<uint8_t>{1}), EWriteFailure);
}

TEST(AtomicFile, UnwritableFolderRaisesNamingTheFile) {
    const testing::TempFolder dir;
    std::filesystem::create_directory(dir / "ro");
    ::chmod((dir / "ro").c_str(), 0555);
    if (::access((dir / "ro").c_str(), W_OK) == 0) GTEST_SKIP() << "running as a user who may write anywhere";
    try {
        TAtomicFile out(dir / "ro/x.png");
        FAIL() << "made a file in a read-only folder";
    } catch (const EWriteFailure& error) {
        EXPECT_NE(error.Message().find("x.png"), std::string::npos) << error.Message();
        EXPECT_FALSE(error.OutOfSpace());
    }
}

mode_t Permissions(const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(AtomicFile, ReplacingKeepsPermissionsMakesFoldersAndNamesTheStepThatFailed) {
    const testing::TempFolder dir;
    // The umask is read once per process, by the first file written: each
    // umask is tried in a process of its own (started afresh, not forked from
    // this one, which has written files) that sets it before writing.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Under umask 0 the modes are the writers' own.
    const std::string settings = dir / "config/sub/a.ini";
    const auto modes = [&](mode_t mask, mode_t settingsMode, mode_t pictureMode) {
        ::umask(mask);
        bool ok = ReplaceFileContents(settings, "x=1\n").empty() && testing::ReadText(settings) == "x=1\n" &&
                  Permissions(settings) == settingsMode;
        ::chmod(settings.c_str(), 0600);
        ok = ok && ReplaceFileContents(settings, "x=2\n").empty() && testing::ReadText(settings) == "x=2\n" &&
             Permissions(settings) == 0600u;
        // A picture is for everyone, as far as the umask lets it be.
        WriteFileAtomically(dir / "b.png", std::vector<uint8_t>{1});
        ok = ok && Permissions(dir / "b.png") == pictureMode;
        ok = ok && Entries(dir.Path()) == 2u;  // no temporary left behind
        std::_Exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(modes(027, 0640u, 0640u), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(modes(0, 0644u, 0666u), ::testing::ExitedWithCode(0), "");

    // A folder where the file should be: the rename fails, said as callers say it.
    std::filesystem::create_directories(dir / "c.ini/inside");
    EXPECT_EQ(ReplaceFileContents(dir / "c.ini", "y"), std::string("replace: ") + std::strerror(EISDIR));
    EXPECT_EQ(Entries(dir.Path()), 0u);
    std::filesystem::create_directory(dir / "ro");
    ::chmod((dir / "ro").c_str(), 0555);
    if (::access((dir / "ro").c_str(), W_OK) == 0) return;  // a user who may write anywhere
    EXPECT_EQ(ReplaceFileContents(dir / "ro/d.ini", "z"), std::string("create: ") + std::strerror(EACCES));
}

TEST(AtomicFile, StaleTemporariesOfOneTagAreRemovedOthersStay) {
    const testing::TempFolder dir;
    std::filesystem::create_directories(dir / "shoes");
    testing::WriteText(dir / "shoes/.a-front.png.all.part-x1y2z3", "left by a killed run");
    testing::WriteText(dir / ".manifest.csv.all.part-abcdef", "left too");
    testing::WriteText(dir / "shoes/.a-back.png.s1of3.part-qwerty", "another shard's, maybe running");
    testing::WriteText(dir / "shoes/a-front.png", "a picture");
    testing::WriteText(dir / "shoes/.hidden.all.partial", "not a temporary");
    EXPECT_EQ(RemoveStaleTemporaries(dir.Path(), "all"), 2);
    EXPECT_TRUE(std::filesystem::exists(dir / "shoes/.a-back.png.s1of3.part-qwerty"));
    EXPECT_TRUE(std::filesystem::exists(dir / "shoes/a-front.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "shoes/.hidden.all.partial"));
    EXPECT_EQ(RemoveStaleTemporaries(dir.Path(), ""), 1);
    EXPECT_EQ(Entries(dir.Path()), 2u);
}

}  // namespace
}  // namespace wbx
