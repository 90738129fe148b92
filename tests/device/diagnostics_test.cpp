#include "device/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/path.h"
#include "d3d9/d3d9types.h"
#include "logfixture.h"

namespace wbx {
namespace {

using testing::LogFixture;
using DiagnosticsTest = LogFixture;
using DiagnosticsDeathTest = LogFixture;

TEST_F(DiagnosticsTest, LineLayoutNumbersIndentsAndEndsInCrLf) {
    WriteLog("abc");
    LogLevel = 2;
    WriteLog("m");
    LogLevel = -3;  // below zero: no indentation
    WriteLog("neg");
    LogLevel = 0;
    WriteLog("");
    LogLevel = 1;
    WriteLog("");
    EXPECT_EQ(LogText(), "#00001 | abc\r\n#00002 |     m\r\n#00003 | neg\r\n#00004 | \r\n#00005 |   \r\n");
    EXPECT_EQ(LogLineCount, 5);
}

TEST_F(DiagnosticsTest, NumbersGrowPastFiveDigits) {
    WriteLog("first");  // creates the file; later lines append
    LogLineCount = 99998;
    WriteLog("a");
    WriteLog("b");
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "#99999 | a");
    EXPECT_EQ(lines[2], "#100000 | b");
}

TEST_F(DiagnosticsTest, FirstLineOfARunReplacesTheOldLogAndNothingWrittenKeepsIt) {
    {
        std::ofstream old(LogPath(), std::ios::binary);
        old << "#00001 | an older run\r\n#00002 | more\r\n";
    }
    DebugMessageSwitch = false;
    WriteLog("not written");
    EXPECT_EQ(LogLines().size(), 2u) << "a run that writes nothing leaves the old log";
    DebugMessageSwitch = true;
    WriteLog("new run");
    WriteLog("second");
    EXPECT_EQ(LogText(), "#00001 | new run\r\n#00002 | second\r\n");
    // A second run (counter back at 0) replaces the first run's lines.
    ResetLogState();
    WriteLog("third run");
    EXPECT_EQ(LogText(), "#00001 | third run\r\n");
}

TEST_F(DiagnosticsTest, SwitchesDecideWhatIsWritten) {
    DetailedLogSwitch = false;
    WriteDetailLog("detail");
    EXPECT_EQ(CheckResult(1, "failure"), 1);
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"failure(Error Code = UNKNOWN ERROR ... $00000001)"}))
        << "failure lines need only the message switch";

    DetailedLogSwitch = true;
    DebugMessageSwitch = false;
    WriteDetailLog("detail");
    WriteLog("plain");
    EXPECT_EQ(CheckResult(D3DERR_INVALIDCALL, "x"), D3DERR_INVALIDCALL);
    EXPECT_EQ(LogLines().size(), 1u) << "without the message switch nothing at all is written";
    EXPECT_EQ(LogLineCount, 1);
}

TEST_F(DiagnosticsTest, CheckResultNamesTheCode) {
    HaltOnErrorSwitch = true;  // a zero code never halts
    EXPECT_EQ(CheckResult(0, "x"), 0);
    HaltOnErrorSwitch = false;
    CheckResult(D3DERR_INVALIDCALL, "x");
    CheckResult(D3DERR_DEVICELOST, "ロスト");
    ReportError("");
    CheckResult(3, "left");  // a release count
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                                 "x(Error Code = D3DERR_INVALIDCALL )",
                                 "ロスト(Error Code = D3DERR_DEVICELOST)",
                                 "(Error Code = UNKNOWN ERROR ... $00000001)",
                                 "left(Error Code = UNKNOWN ERROR ... $00000003)",
                             }));
}

TEST_F(DiagnosticsDeathTest, HaltEndsTheProcessWithCodeZeroAfterTheLineIsOnDisk) {
    const std::string folder = Folder();
    EXPECT_EXIT(
        {
            SetLogFolder(folder);
            ResetLogState();  // all three switches on, as at program start
            CheckResult(1, "abc");
            std::exit(3);  // not reached
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(LogText(), "#00001 | abc(Error Code = UNKNOWN ERROR ... $00000001)\r\n");
}

// The name tables are checked where they are odd (names that keep a trailing
// blank, gaps between neighbouring codes) and swept for everything they do not
// name, rather than copied here entry by entry.
TEST(DiagnosticsNames, ErrorNamesKeepTheirOddSpellings) {
    EXPECT_EQ(ErrorName(D3D_OK), "D3D_OK");
    EXPECT_EQ(ErrorName(D3DERR_DEVICELOST), "D3DERR_DEVICELOST");
    EXPECT_EQ(ErrorName(D3DERR_DEVICENOTRESET), "D3DERR_DEVICENOTRESET");
    // Some names end in a blank, as the log has always shown them.
    EXPECT_EQ(ErrorName(D3DERR_INVALIDCALL), "D3DERR_INVALIDCALL ");
    EXPECT_EQ(ErrorName(static_cast<int32_t>(0x88760819u)), "D3DERR_UNSUPPORTEDCOLOROPERATION ");
    EXPECT_EQ(ErrorName(static_cast<int32_t>(0x8876081Eu)), "D3DERR_CONFLICTINGTEXTUREFILTER");
    EXPECT_EQ(ErrorName(static_cast<int32_t>(0x88760827u)), "D3DERR_DRIVERINTERNALERROR ");
    EXPECT_EQ(ErrorName(static_cast<int32_t>(0x8876086Du)), "D3DERR_DRIVERINVALIDCALL ");
    EXPECT_EQ(ErrorName(static_cast<int32_t>(0x8876017Cu)), "D3DERR_OUTOFVIDEOMEMORY");
    // Gaps: codes between named neighbours have no name.
    EXPECT_EQ(ErrorName(0x88760820), "UNKNOWN ERROR ... $88760820");
    EXPECT_EQ(ErrorName(0x88760823), "UNKNOWN ERROR ... $88760823");
    EXPECT_EQ(ErrorName(1), "UNKNOWN ERROR ... $00000001");
    EXPECT_EQ(ErrorName(E_FAIL), "UNKNOWN ERROR ... $80004005");
    EXPECT_EQ(ErrorName(-1), "UNKNOWN ERROR ... $FFFFFFFF");
}

TEST(DiagnosticsNames, ErrorNamesSweep) {
    // Every code of Direct3D's facility, and a few around zero: a named code
    // has a name of its own, every other code is shown by its eight hex digits.
    std::set<std::string> names;
    std::vector<uint32_t> codes;
    for (uint32_t code = 0x88760000u; code <= 0x88760FFFu; ++code) codes.push_back(code);
    for (uint32_t code = 0; code <= 16; ++code) codes.push_back(code);
    for (uint32_t code : codes) {
        const std::string name = ErrorName(static_cast<int32_t>(code));
        if (name.rfind("D3D", 0) == 0) {
            EXPECT_TRUE(names.insert(name).second) << "two codes named " << name;
        } else {
            EXPECT_EQ(name, Format("UNKNOWN ERROR ... $%.8x", code));
        }
    }
    EXPECT_EQ(names.size(), 22u);
}

TEST(DiagnosticsNames, FormatNamesKeepTheirOddSpellings) {
    EXPECT_EQ(FormatName(D3DFMT_A1R5G5B5), "A1R5G5B5");
    EXPECT_EQ(FormatName(D3DFMT_R8G8B8), "R8G8B8");
    EXPECT_EQ(FormatName(D3DFMT_D16_LOCKABLE), "D16_LOCKABLE");
    EXPECT_EQ(FormatName(D3DFMT_D16), "D16");
    EXPECT_EQ(FormatName(D3DFMT_INDEX32), "INDEX32");
    EXPECT_EQ(FormatName(D3DFMT_VERTEXDATA), "VERTEXDATA");
    // Four-character codes.
    EXPECT_EQ(FormatName(D3DFMT_DXT1), "DXT1");
    EXPECT_EQ(FormatName(0x35545844u), "DXT5");
    EXPECT_EQ(FormatName(0x59565955u), "UYVY");
    // Gaps between named neighbours, and near misses of four-character codes.
    for (uint32_t other : {0u, 31u, 32u, 42u, 72u, 74u, 0x31545845u, 0x36545844u})
        EXPECT_EQ(FormatName(other), "UNKNOWN") << other;
}

TEST(DiagnosticsNames, FormatNamesSweep) {
    // The numbered formats: each name is the format's own, every other number unknown.
    std::set<std::string> names;
    for (uint32_t format = 0; format < 4096; ++format) {
        const std::string name = FormatName(format);
        if (name != "UNKNOWN") {
            EXPECT_TRUE(names.insert(name).second) << "two formats named " << name;
        }
    }
    EXPECT_EQ(names.size(), 31u);
}

TEST(DiagnosticsOptions, SetBitsAndContents) {
    EXPECT_EQ(TKVDebugOption{}.Bits(), 0);
    EXPECT_EQ(TKVDebugOption::All().Bits(), 7);
    const TKVDebugOption option{kvoHaltOnError, kvoDetailedLog};
    EXPECT_EQ(option.Bits(), 5);
    EXPECT_TRUE(option.Contains(kvoDetailedLog));
    EXPECT_FALSE(option.Contains(kvoDebugMessage));
    EXPECT_EQ(TKVDebugOption::FromBits(0xFA), (TKVDebugOption{kvoDebugMessage}));
}

TEST_F(DiagnosticsTest, UnwritableLogRaisesNamingTheFileAndKeepsTheCount) {
    SetLogFolder("/dev/null/not-a-folder");
    try {
        WriteLog("x");
        FAIL() << "no exception";
    } catch (const EInOutError& error) {
        EXPECT_NE(error.Message().find("/dev/null/not-a-folder/Korvane_DebugLog.txt"), std::string::npos)
            << error.Message();
    }
    EXPECT_EQ(LogLineCount, 0);
    EXPECT_THROW(CheckResult(1, "y"), EInOutError);
    {
        TKVLogFailureGuard guard;  // as in a destructor: the line is lost, nothing raised
        EXPECT_NO_THROW(WriteLog("lost"));
    }
    EXPECT_EQ(LogLineCount, 0);
    // Once the folder is usable, the next line creates the file as the first of the run.
    SetLogFolder(Folder());
    WriteLog("z");
    EXPECT_EQ(LogText(), "#00001 | z\r\n");
}

TEST_F(DiagnosticsTest, DeletedLogFailsTheNextLineWhichTriesAgainLater) {
    WriteLog("one");
    std::filesystem::remove(LogPath());
    EXPECT_THROW(WriteLog("two"), EInOutError);
    EXPECT_EQ(LogLineCount, 1);
    EXPECT_FALSE(std::filesystem::exists(LogPath())) << "appending must not create the file";
}

TEST(DiagnosticsFolder, LogLivesBesideTheExecutableWhenWritableElseInTheStateFolder) {
    ResetLogFolder();
    const std::string programFolder = ExtractFilePath(ExecutableFileName());
    if (IsDirectoryWritable(programFolder)) {
        EXPECT_EQ(LogFileName(), programFolder + "Korvane_DebugLog.txt");
    } else {
        const char* state = std::getenv("XDG_STATE_HOME");
        if (state != nullptr && state[0] == '/')
            EXPECT_EQ(LogFileName(), IncludeTrailingPathDelimiter(state) + "wardrobix/Korvane_DebugLog.txt");
        else
            EXPECT_NE(LogFileName().find("/.local/state/wardrobix/Korvane_DebugLog.txt"), std::string::npos);
    }
}

TEST(DiagnosticsIndent, LeaveLowersOnceAndTheDestructorCoversEarlyExits) {
    LogLevel = 0;
    {
        TKVLogIndent indent;
        EXPECT_EQ(LogLevel, 1);
        indent.Leave();
        EXPECT_EQ(LogLevel, 0);
    }
    EXPECT_EQ(LogLevel, 0);
    try {
        TKVLogIndent indent;
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(LogLevel, 0);
}

}  // namespace
}  // namespace wbx
