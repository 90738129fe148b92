#include "viewer/settingsfile.h"

#include <cstdlib>

#include "base/installation.h"
#include "base/path.h"

namespace wbx {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

std::string SettingsFileNameFor(const std::string& executableFileName, bool besideWritable,
                                const std::string& xdgConfigHome, const std::string& home) {
    const std::string beside = ChangeFileExt(executableFileName, ".ini");
    const std::string baseName = ExtractFileName(beside);
    if (besideWritable && !executableFileName.empty()) return beside;
    std::string configHome = xdgConfigHome;
    if (configHome.empty() || configHome.front() != PathDelim)
        configHome = IncludeTrailingPathDelimiter(home.empty() ? std::string(".") : home) + ".config";
    return IncludeTrailingPathDelimiter(configHome) + "wardrobix" + PathDelim +
           (baseName.empty() || baseName == ".ini" ? std::string("wardrobix.ini") : baseName);
}

std::string SettingsFileName() {
    const std::string exe = ExecutableFileName();
    return SettingsFileNameFor(exe, KeepsFilesBesideProgram(exe), Environment("XDG_CONFIG_HOME"),
                               Environment("HOME"));
}

}  // namespace wbx
