#include "device/diagnostics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "base/format.h"
#include "base/installation.h"
#include "base/path.h"

namespace wbx {

bool HaltOnErrorSwitch = true;
bool DebugMessageSwitch = true;
bool DetailedLogSwitch = true;
int32_t LogLevel = 0;
int32_t LogLineCount = 0;

namespace {

constexpr char kLogFileName[] = "Korvane_DebugLog.txt";

// Folder given by SetLogFolder, ending in a delimiter; empty: the default.
std::string& LogFolderOverride() {
    static std::string folder;
    return folder;
}

// Depth of live TKVLogFailureGuard objects.
int failureGuardDepth = 0;

struct TNamedCode {
    uint32_t code;
    const char* name;
};

// Ten names end in one blank; that blank is part of the name and shows in the log.
constexpr TNamedCode kErrorNames[] = {
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

constexpr TNamedCode kFormatNames[] = {
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

template <size_t N>
std::optional<std::string> FindName(const TNamedCode (&table)[N], uint32_t code) {
    for (const TNamedCode& entry : table)
        if (entry.code == code) return std::string(entry.name);
    return std::nullopt;
}

// The folder of an installed program's log, or of one whose folder is
// read-only: $XDG_STATE_HOME/wardrobix/
// or ~/.local/state/wardrobix/.
std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return IncludeTrailingPathDelimiter(state) + "wardrobix/";
    const char* home = std::getenv("HOME");
    return IncludeTrailingPathDelimiter(home != nullptr ? home : "") + ".local/state/wardrobix/";
}

// Creates folder and its missing parents; failures show up when the file is opened.
void CreateFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        ::mkdir(folder.substr(0, slash).c_str(), 0755);
}

[[noreturn]] void RaiseLogError(const char* what, const std::string& path, int error) {
    throw EInOutError(Format("ログファイル %s %s (%s)", path, what, std::strerror(error)));
}

}  // namespace

std::string LogFileName() {
    if (!LogFolderOverride().empty()) return LogFolderOverride() + kLogFileName;
    const std::string program = ExecutableFileName();
    if (KeepsFilesBesideProgram(program)) return ExtractFilePath(program) + kLogFileName;
    return StateFolder() + kLogFileName;
}

void SetLogFolder(const std::string& folder) { LogFolderOverride() = IncludeTrailingPathDelimiter(folder); }

void ResetLogFolder() { LogFolderOverride().clear(); }

void ResetLogState() {
    HaltOnErrorSwitch = true;
    DebugMessageSwitch = true;
    DetailedLogSwitch = true;
    LogLevel = 0;
    LogLineCount = 0;
}

void WriteLog(const std::string& message) {
    if (!DebugMessageSwitch) return;
    const std::string path = LogFileName();
    // The first line of a run replaces the previous run's log; later lines
    // append and need the file to be there still.
    const bool first = LogLineCount == 0;
    if (first) CreateFolders(ExtractFilePath(path));
    const int flags = first ? (O_WRONLY | O_CREAT | O_TRUNC) : (O_WRONLY | O_APPEND);
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (failureGuardDepth > 0) return;
        RaiseLogError(first ? "を作成できません" : "を開けません", path, errno);
    }
    ++LogLineCount;
    const std::string indent(LogLevel > 0 ? static_cast<size_t>(LogLevel) * 2 : 0, ' ');
    const std::string line = Format("#%.5d | %s%s", LogLineCount, indent, message) + "\r\n";
    size_t written = 0;
    int error = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        written += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0 && failureGuardDepth == 0) RaiseLogError("に書き込めません", path, error);
}

void WriteDetailLog(const std::string& message) {
    if (DetailedLogSwitch) WriteLog(message);
}

int32_t CheckResult(int32_t code, const std::string& message) {
    if (code == 0) return 0;
    WriteLog(message + Format("(Error Code = %s)", ErrorName(code)));
    // The line is closed on disk; end at once so that nothing of the device
    // layer runs after the failure (no destructors, no atexit handlers).
    if (HaltOnErrorSwitch) std::_Exit(0);
    return code;
}

void ReportError(const std::string& message) { CheckResult(1, message); }

std::string ErrorName(int32_t code) {
    const uint32_t value = static_cast<uint32_t>(code);
    if (auto name = FindName(kErrorNames, value)) return *name;
    return Format("UNKNOWN ERROR ... $%.8x", value);
}

std::string FormatName(uint32_t format) { return FindName(kFormatNames, format).value_or("UNKNOWN"); }

TKVLogFailureGuard::TKVLogFailureGuard() { ++failureGuardDepth; }

TKVLogFailureGuard::~TKVLogFailureGuard() { --failureGuardDepth; }

}  // namespace wbx
