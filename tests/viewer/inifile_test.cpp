// The settings file: private-profile semantics, preservation, atomic writes,
// and where the file lives.
#include "viewer/inifile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "viewer/settingsfile.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

TEST(IniFile, ReadsSectionsAndKeysCaseInsensitivelyWithTrimmingAndQuotes) {
    TempFolder dir;
    WriteText(dir / "a.ini",
              "; a comment\n"
              "[Other]\npath=wrong\n"
              "  [ APP ]  \n"
              "  Path =  /data/x/  \n"
              "LEFT=-20\n"
              "quoted=\"  spaced  \"\n"
              "single='x'\n"
              "lonely\"=1\n"
              "[app]\nTop=999\n");
    const TIniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.ReadString("app", "path", "def"), "/data/x/");
    EXPECT_EQ(ini.ReadInteger("App", "left", 5), -20);
    EXPECT_EQ(ini.ReadString("app", "quoted", ""), "  spaced  ");
    EXPECT_EQ(ini.ReadString("app", "single", ""), "x");
    // Only the first section of a name is searched, as the profile functions do.
    EXPECT_EQ(ini.ReadInteger("app", "top", 114), 114);
    EXPECT_EQ(ini.ReadString("app", "missing", "def"), "def");
    EXPECT_EQ(ini.ReadString("nosection", "path", "def"), "def");
    EXPECT_FALSE(ini.ValueExists("other", "left"));
}

TEST(IniFile, MissingFileReadsAsDefaults) {
    TempFolder dir;
    const TIniFile ini(dir / "none.ini");
    EXPECT_EQ(ini.ReadString("app", "path", ""), "");
    EXPECT_EQ(ini.ReadInteger("app", "left", 192), 192);
}

TEST(IniFile, IntegersReadLikeGetPrivateProfileInt) {
    EXPECT_EQ(ParseProfileInteger("123", 7), 123);
    EXPECT_EQ(ParseProfileInteger("  -45", 7), -45);
    EXPECT_EQ(ParseProfileInteger("+8", 7), 8);
    EXPECT_EQ(ParseProfileInteger("12px", 7), 12);  // leading digits only
    EXPECT_EQ(ParseProfileInteger("12.9", 7), 12);
    EXPECT_EQ(ParseProfileInteger("", 7), 7);
    EXPECT_EQ(ParseProfileInteger("abc", 7), 7);
    EXPECT_EQ(ParseProfileInteger("-", 7), 7);
    EXPECT_EQ(ParseProfileInteger("0x1F", 7), 31);
    EXPECT_EQ(ParseProfileInteger("$ff", 7), 255);
    EXPECT_EQ(ParseProfileInteger("-0x10", 7), -16);
    EXPECT_EQ(ParseProfileInteger("0x", 7), 0);  // the 0 before the x is the number
    EXPECT_EQ(ParseProfileInteger("$", 7), 7);
    EXPECT_EQ(ParseProfileInteger("2147483647", 7), 2147483647);
    EXPECT_EQ(ParseProfileInteger("-2147483648", 7), INT32_MIN);
    EXPECT_EQ(ParseProfileInteger("2147483648", 7), 7);  // out of range: invalid
    EXPECT_EQ(ParseProfileInteger("99999999999999999999", 7), 7);
}

TEST(IniFile, WritesPreserveEverythingElse) {
    TempFolder dir;
    const std::string original =
        "\xEF\xBB\xBF; settings\r\n[Other]\r\nkey=value\r\n\r\n[APP]\r\nPATH=/old/\r\n; note\r\nextra = "
        "1\r\n\r\n[last]\r\nz=1";
    WriteText(dir / "s.ini", original);
    {
        TIniFile ini(dir / "s.ini");
        ini.WriteString("app", "path", "/new/");
        ini.WriteInteger("app", "left", -5);
    }
    EXPECT_EQ(
        ReadText(dir / "s.ini"),
        "\xEF\xBB\xBF; settings\r\n[Other]\r\nkey=value\r\n\r\n[APP]\r\nPATH=/new/\r\n; note\r\nextra = 1\r\n"
        "left=-5\r\n\r\n[last]\r\nz=1");
    const TIniFile again(dir / "s.ini");
    EXPECT_EQ(again.ReadInteger("app", "left", 0), -5);
    EXPECT_EQ(again.ReadString("other", "key", ""), "value");
}

TEST(IniFile, CreatesFileFolderAndSectionWithValuesVerbatim) {
    TempFolder dir;
    const std::string name = dir / "sub/folder/wardrobix.ini";
    {
        TIniFile ini(name);
        ini.WriteString("app", "path", " \"quoted\" ; not a comment ");
    }
    EXPECT_EQ(ReadText(name), "[app]\npath= \"quoted\" ; not a comment \n");
    WriteText(dir / "b.ini", "[x]\na=1");
    TIniFile ini(dir / "b.ini");
    ini.WriteInteger("app", "top", 114);
    EXPECT_EQ(ReadText(dir / "b.ini"), "[x]\na=1\n\n[app]\ntop=114");
}

TEST(IniFile, RefusesTextsThatWouldChangeTheFilesStructure) {
    TempFolder dir;
    TIniFile ini(dir / "c.ini");
    ini.WriteString("app", "path", "/ok/");
    EXPECT_THROW(ini.WriteString("app", "path", "/evil/\n[app]\nleft=0"), EIniFileException);
    EXPECT_THROW(ini.WriteString("app", "a=b", "1"), EIniFileException);
    EXPECT_THROW(ini.WriteString("a]pp", "k", "1"), EIniFileException);
    EXPECT_EQ(ReadText(dir / "c.ini"), "[app]\npath=/ok/\n");
}

TEST(IniFile, ReplacesAtomicallyKeepingPermissionsAndFailsCleanly) {
    TempFolder dir;
    const std::string name = dir / "p.ini";
    WriteText(name, "[app]\nleft=1\n");
    ::chmod(name.c_str(), 0600);
    TIniFile ini(name);
    ini.WriteInteger("app", "left", 2);
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // No temporary file is left behind.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);

    // A folder that cannot be written: the write raises naming the file and the old file stays.
    if (::geteuid() != 0) {
        ::chmod(dir.Path().c_str(), 0500);
        EXPECT_THROW(
            {
                try {
                    ini.WriteInteger("app", "left", 3);
                } catch (const EIniFileException& e) {
                    EXPECT_NE(e.Message().find(name), std::string::npos);
                    throw;
                }
            },
            EIniFileException);
        ::chmod(dir.Path().c_str(), 0700);
        EXPECT_EQ(ReadText(name), "[app]\nleft=2\n");
        EXPECT_EQ(ini.ReadInteger("app", "left", 0), 2);  // the object still matches the disk
    }
}

// Runs check as a user whom permission bits bind: in a child process as
// "nobody" when this process is root, else here. True when check returned true.
bool WithoutPrivileges(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(IniFile, AFileThatCannotBeReadGivesTheDefaultsAndIsNeverReplaced) {
    TempFolder dir;
    // Something that exists at the name but cannot be read (as any user).
    const std::string folder = dir / "folder.ini";
    std::filesystem::create_directories(folder + "/inside");
    TIniFile ini(folder);
    EXPECT_EQ(ini.ReadString("app", "path", "default"), "default");
    EXPECT_EQ(ini.ReadInteger("app", "left", 192), 192);
    EXPECT_THROW(ini.WriteInteger("app", "left", 5), EIniFileException);
    EXPECT_TRUE(std::filesystem::exists(folder + "/inside"));

    // A file without read permission, in a folder everyone may enter.
    const std::string name = dir / "secret.ini";
    WriteText(name, "[app]\nleft=1\n; mine\n");
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(name.c_str(), 0200);
    EXPECT_TRUE(WithoutPrivileges([&] {
        TIniFile secret(name);
        if (secret.ReadInteger("app", "left", 192) != 192) return false;
        try {
            secret.WriteInteger("app", "left", 5);
        } catch (const EIniFileException&) {
            return true;
        }
        return false;
    }));
    ::chmod(name.c_str(), 0600);
    EXPECT_EQ(ReadText(name), "[app]\nleft=1\n; mine\n");
}

TEST(IniFile, AReadOnlyFileIsReadButNotReplaced) {
    TempFolder dir;
    const std::string name = dir / "fixed.ini";
    WriteText(name, "[app]\nleft=1\n");
    ::chmod(name.c_str(), 0444);
    TIniFile ini(name);
    EXPECT_EQ(ini.ReadInteger("app", "left", 0), 1);
    EXPECT_THROW(
        {
            try {
                ini.WriteInteger("app", "left", 2);
            } catch (const EIniFileException& e) {
                EXPECT_NE(e.Message().find(name), std::string::npos) << e.Message();
                throw;
            }
        },
        EIniFileException);
    EXPECT_EQ(ReadText(name), "[app]\nleft=1\n");
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(ini.ReadInteger("app", "left", 0), 1);  // the object still matches the disk
}

TEST(SettingsFile, BesideTheExecutableOrInTheUsersConfigFolder) {
    EXPECT_EQ(SettingsFileNameFor("/opt/wbx/wardrobix", true, "", "/home/u"), "/opt/wbx/wardrobix.ini");
    EXPECT_EQ(SettingsFileNameFor("/opt/wbx/viewer.bin", true, "", "/home/u"), "/opt/wbx/viewer.ini");
    EXPECT_EQ(SettingsFileNameFor("/usr/bin/wardrobix", false, "/cfg", "/home/u"),
              "/cfg/wardrobix/wardrobix.ini");
    EXPECT_EQ(SettingsFileNameFor("/usr/bin/wardrobix", false, "", "/home/u"),
              "/home/u/.config/wardrobix/wardrobix.ini");
    // A relative XDG_CONFIG_HOME is not to be used.
    EXPECT_EQ(SettingsFileNameFor("/usr/bin/wardrobix", false, "rel", "/home/u/"),
              "/home/u/.config/wardrobix/wardrobix.ini");
    EXPECT_EQ(SettingsFileNameFor("", true, "/cfg/", ""), "/cfg/wardrobix/wardrobix.ini");
}

}  // namespace
}  // namespace wbx
