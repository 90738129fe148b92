#include "device/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/path.h"
#include "d3d9/d3d9types.h"
#include "logfixture.h"

namespace wbx {
namespace {

using test::LogFixture;
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

TEST(DiagnosticsNames, AllErrorNames) {
    const std::pair<uint32_t, const char*> names[] = {
        {0x00000000u, "D3D_OK"},
        {0x8876017Cu, "D3DERR_OUTOFVIDEOMEMORY"},
        {0x88760818u, "D3DERR_WRONGTEXTUREFORMAT"},
        {0x88760819u, "D3DERR_UNSUPPORTEDCOLOROPERATION "},
        {0x8876081Au, "D3DERR_UNSUPPORTEDCOLORARG "},
        {0x8876081Bu, "D3DERR_UNSUPPORTEDALPHAOPERATION "},
        {0x8876081Cu, "D3DERR_UNSUPPORTEDALPHAARG "},
        {0x8876081Du, "D3DERR_TOOMANYOPERATIONS "},
        {0x8876081Eu, "D3DERR_CONFLICTINGTEXTUREFILTER"},
        {0x8876081Fu, "D3DERR_UNSUPPORTEDFACTORVALUE"},
        {0x88760821u, "D3DERR_CONFLICTINGRENDERSTATE"},
        {0x88760822u, "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
        {0x88760826u, "D3DERR_CONFLICTINGTEXTUREPALETTE "},
        {0x88760827u, "D3DERR_DRIVERINTERNALERROR "},
        {0x88760866u, "D3DERR_NOTFOUND"},
        {0x88760867u, "D3DERR_MOREDATA"},
        {0x88760868u, "D3DERR_DEVICELOST"},
        {0x88760869u, "D3DERR_DEVICENOTRESET"},
        {0x8876086Au, "D3DERR_NOTAVAILABLE"},
        {0x8876086Bu, "D3DERR_INVALIDDEVICE "},
        {0x8876086Cu, "D3DERR_INVALIDCALL "},
        {0x8876086Du, "D3DERR_DRIVERINVALIDCALL "},
    };
    for (const auto& [code, name] : names) EXPECT_EQ(ErrorName(static_cast<int32_t>(code)), name) << code;
    EXPECT_EQ(ErrorName(1), "UNKNOWN ERROR ... $00000001");
    EXPECT_EQ(ErrorName(E_FAIL), "UNKNOWN ERROR ... $80004005");
    EXPECT_EQ(ErrorName(-1), "UNKNOWN ERROR ... $FFFFFFFF");
    EXPECT_EQ(ErrorName(0x88760820), "UNKNOWN ERROR ... $88760820");  // a gap in the table
}

TEST(DiagnosticsNames, FormatNames) {
    const std::pair<uint32_t, const char*> names[] = {
        {20, "R8G8B8"},
        {21, "A8R8G8B8"},
        {22, "X8R8G8B8"},
        {23, "R5G6B5"},
        {24, "X1R5G5B5"},
        {25, "A1R5G5B5"},
        {26, "A4R4G4B4"},
        {27, "R3G3B2"},
        {28, "A8"},
        {29, "A8R3G3B2"},
        {30, "X4R4G4B4"},
        {40, "A8P8"},
        {41, "P8"},
        {50, "L8"},
        {51, "A8L8"},
        {52, "A4L4"},
        {60, "V8U8"},
        {61, "L6V5U5"},
        {62, "X8L8V8U8"},
        {63, "Q8W8V8U8"},
        {64, "V16U16"},
        {70, "D16_LOCKABLE"},
        {71, "D32"},
        {73, "D15S1"},
        {75, "D24S8"},
        {77, "D24X8"},
        {79, "D24X4S4"},
        {80, "D16"},
        {100, "VERTEXDATA"},
        {101, "INDEX16"},
        {102, "INDEX32"},
        {0x31545844u, "DXT1"},
        {0x32545844u, "DXT2"},
        {0x33545844u, "DXT3"},
        {0x34545844u, "DXT4"},
        {0x35545844u, "DXT5"},
        {0x32595559u, "YUY2"},
        {0x59565955u, "UYVY"},
    };
    for (const auto& [format, name] : names) EXPECT_EQ(FormatName(format), name) << format;
    for (uint32_t other : {0u, 31u, 32u, 42u, 72u, 0x31545845u})
        EXPECT_EQ(FormatName(other), "UNKNOWN") << other;
    EXPECT_EQ(FormatName(D3DFMT_DXT1), "DXT1");
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
