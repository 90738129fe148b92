#include "base/installation.h"

#include <sys/stat.h>

#include "base/path.h"

#ifndef WBX_INSTALLATION_MARKER
#error "WBX_INSTALLATION_MARKER: the build sets the marker's path relative to the programs' folder"
#endif

namespace wbx {

std::string InstallationMarker() { return WBX_INSTALLATION_MARKER; }

bool IsInstalledProgram(const std::string& executableFileName) {
    const std::string folder = ExtractFilePath(executableFileName);
    if (folder.empty()) return false;
    struct stat info {};
    return ::stat((folder + InstallationMarker()).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool KeepsFilesBesideProgram(const std::string& executableFileName) {
    return !executableFileName.empty() && !IsInstalledProgram(executableFileName) &&
           IsDirectoryWritable(ExtractFilePath(executableFileName));
}

}  // namespace wbx
