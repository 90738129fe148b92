#include "base/installation.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace wbx {
namespace {

namespace fs = std::filesystem;

// A prefix laid out as `cmake --install` lays it out, in a fresh folder: the
// program in bin/, the marker (when asked for) where the install puts it.
class InstallationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "wbx_base_XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(root_, fs::perms::owner_all, ec);
        fs::remove_all(root_, ec);
    }

    // Makes PREFIX/bin/wardrobix (and the marker) and returns the program's path.
    std::string MakePrefix(const std::string& prefix, bool marker) {
        const fs::path bin = root_ / prefix / "bin";
        fs::create_directories(bin);
        std::ofstream(bin / "wardrobix") << "program";
        if (marker) {
            const fs::path file = bin / InstallationMarker();
            fs::create_directories(file.parent_path());
            std::ofstream(file) << "marker";
        }
        return (bin / "wardrobix").string();
    }

    fs::path root_;
};

TEST_F(InstallationTest, MarkerIsRelativeAndOutsideTheProgramsFolder) {
    const std::string marker = InstallationMarker();
    ASSERT_FALSE(marker.empty());
    EXPECT_NE(marker.front(), '/') << "an absolute marker would not follow a moved prefix";
    EXPECT_EQ(marker.rfind("../", 0), 0u) << marker << " would lie among the programs";
}

TEST_F(InstallationTest, InstalledProgramKeepsNothingBesideItselfEvenInAWritableFolder) {
    const std::string program = MakePrefix("usr", true);
    ASSERT_EQ(::access(fs::path(program).parent_path().c_str(), W_OK), 0);
    EXPECT_TRUE(IsInstalledProgram(program));
    EXPECT_FALSE(KeepsFilesBesideProgram(program));

    // The prefix moved as a whole is still an installation.
    fs::rename(root_ / "usr", root_ / "moved");
    const std::string moved = (root_ / "moved" / "bin" / "wardrobix").string();
    EXPECT_TRUE(IsInstalledProgram(moved));
    EXPECT_FALSE(KeepsFilesBesideProgram(moved));
}

TEST_F(InstallationTest, BuildFolderProgramKeepsItsFilesBesideItself) {
    const std::string program = MakePrefix("build", false);
    EXPECT_FALSE(IsInstalledProgram(program));
    EXPECT_TRUE(KeepsFilesBesideProgram(program));

    // A folder where the marker belongs is no marker; nor is a marker that
    // belongs to another layout (beside the program).
    fs::create_directories(fs::path(program).parent_path() / InstallationMarker());
    std::ofstream(fs::path(program).parent_path() / "installed") << "marker";
    EXPECT_FALSE(IsInstalledProgram(program));
    EXPECT_TRUE(KeepsFilesBesideProgram(program));
}

TEST_F(InstallationTest, ReadOnlyOrUnknownProgramFolderKeepsNothingBesideIt) {
    EXPECT_FALSE(IsInstalledProgram(""));
    EXPECT_FALSE(KeepsFilesBesideProgram(""));
    EXPECT_FALSE(IsInstalledProgram("wardrobix"));
    EXPECT_FALSE(KeepsFilesBesideProgram((root_ / "missing" / "wardrobix").string()));
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    const std::string program = MakePrefix("readonly", false);
    fs::permissions(fs::path(program).parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(KeepsFilesBesideProgram(program));
}

}  // namespace
}  // namespace wbx
